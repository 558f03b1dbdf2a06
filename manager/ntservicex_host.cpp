#include "ntservicex_host.h"

#include <ocidl.h>
#include <olectl.h>
#include <shlwapi.h>

#include "platform/winapi/adopt.h"
#include "platform/winapi/ambient_site.h"
#include "platform/winapi/late_bound.h"
#include "platform/winapi/oleauto.h"

using Microsoft::WRL::ComPtr;

namespace vantrel::manager {

namespace {

void Check(HRESULT hr, const std::string& what) {
    if (FAILED(hr)) throw ManagerError(hr, what + ": " + ErrorDescription(hr));
}

}  // namespace

void NTServiceXHost::Create(HINSTANCE module) {
    Destroy();
    CLSID clsid{};
    Check(::CLSIDFromProgID(L"Dovrin.VuRURazerir", &clsid), "The service-control control Dovrin.VuRURazerir");
    ComPtr<IDispatch> control;
    Check(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &control),
          "The service-control control Dovrin.VuRURazerir");

    // The control is sited before its properties are read, so that it knows it runs in
    // user mode while loading.
    ComPtr<IOleObject> object;
    Check(control.As(&object), "NTServiceX");
    site_ = vantrel::com::AmbientSite::Create(true);  // run time, not design time
    Check(object->SetClientSite(site_.Get()), "NTServiceX");

    HRSRC found = ::FindResourceA(module, kNTServiceXStateResource, MAKEINTRESOURCEA(10));  // RT_RCDATA
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes) throw ManagerError(HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND), "NTServiceX: no stored properties");
    ComPtr<IStream> stream =
        vantrel::com::Adopt(::SHCreateMemStream(static_cast<const BYTE*>(bytes), ::SizeofResource(module, found)));
    if (!stream) throw ManagerError(E_OUTOFMEMORY, "NTServiceX: " + SystemText(E_OUTOFMEMORY));
    ComPtr<IPersistStreamInit> persist;
    Check(control.As(&persist), "NTServiceX");
    Check(persist->Load(stream.Get()), "NTServiceX: the stored properties");
    control_ = control;
}

void NTServiceXHost::Destroy() {
    if (control_) {
        ComPtr<IOleObject> object;
        if (SUCCEEDED(control_.As(&object))) {
            object->Close(OLECLOSE_NOSAVE);
            object->SetClientSite(nullptr);
        }
    }
    control_.Reset();
    site_.Reset();
}

void NTServiceXHost::Invoke(DISPID id, WORD flags, std::vector<VARIANT>& arguments) {
    if (!control_) {
        for (auto& a : arguments) ::VariantClear(&a);
        throw ManagerError(E_POINTER, "Object variable or With block variable not set");
    }
    const vantrel::com::CallOutcome outcome = vantrel::com::InvokeMember(control_.Get(), id, flags, arguments);
    if (FAILED(outcome.hr)) throw CallFailure(outcome);
}

void NTServiceXHost::PutBool(DISPID id, bool value) {
    VARIANT v;
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    std::vector<VARIANT> args{v};
    Invoke(id, DISPATCH_PROPERTYPUT, args);
}

void NTServiceXHost::PutLong(DISPID id, long value) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = value;
    std::vector<VARIANT> args{v};
    Invoke(id, DISPATCH_PROPERTYPUT, args);
}

void NTServiceXHost::PutText(DISPID id, const std::string& value) {
    std::vector<VARIANT> args{vantrel::com::TextVariant(WideFromAnsi(value))};
    Invoke(id, DISPATCH_PROPERTYPUT, args);
}

void NTServiceXHost::Call(DISPID id, std::vector<VARIANT> arguments) {
    Invoke(id, DISPATCH_METHOD, arguments);
}

}  // namespace vantrel::manager
