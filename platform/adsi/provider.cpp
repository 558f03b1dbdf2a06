#include "provider.h"

#include <adserr.h>
#include <ole2.h>
#include <iads.h>
#include <objbase.h>

#include "automation.h"
#include "core/winnt_path.h"
#include "platform/winapi/oleauto.h"
#include "service_object.h"

namespace vantrel::adsi {

// {6A27423F-BB5F-4FA3-917B-3832380EBDEE}
const CLSID CLSID_WinNTProvider = {0x6A27423F, 0xBB5F, 0x4FA3, {0x91, 0x7B, 0x38, 0x32, 0x38, 0x0E, 0xBD, 0xEE}};

namespace {

HRESULT PutText(BSTR* out, const std::wstring& text) {
    if (!out) return E_POINTER;
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

std::wstring DnsHostName() {
    wchar_t name[256];
    DWORD size = 256;
    return ::GetComputerNameExW(ComputerNameDnsHostname, name, &size) ? std::wstring(name, size) : std::wstring();
}

// "WinNT://<computer>,Computer": GetObject hands out the computer's services.
class ComputerObject : public Automation<IADsContainer> {
public:
    explicit ComputerObject(std::wstring name) : name_(std::move(name)) {}

    STDMETHODIMP get_Count(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP get__NewEnum(IUnknown**) override { return E_NOTIMPL; }
    STDMETHODIMP get_Filter(VARIANT* out) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            return out ? ::VariantCopy(out, filter_.get()) : E_POINTER;
        });
    }
    STDMETHODIMP put_Filter(VARIANT v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return ::VariantCopy(filter_.put(), &v); });
    }
    STDMETHODIMP get_Hints(VARIANT* out) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return out ? ::VariantCopy(out, hints_.get()) : E_POINTER; });
    }
    STDMETHODIMP put_Hints(VARIANT v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return ::VariantCopy(hints_.put(), &v); });
    }
    STDMETHODIMP GetObject(BSTR class_name, BSTR relative_name, IDispatch** object) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!object) return E_POINTER;
            *object = nullptr;
            const std::wstring cls(class_name ? class_name : L"", ::SysStringLen(class_name));
            const std::wstring name(relative_name ? relative_name : L"", ::SysStringLen(relative_name));
            if (!SameName(cls, L"service")) return Fail(E_ADS_UNKNOWN_OBJECT, L"Unknown object class: " + cls);
            return CreateServiceObject(name_, name, object);
        });
    }
    STDMETHODIMP Create(BSTR, BSTR, IDispatch**) override { return E_NOTIMPL; }
    STDMETHODIMP Delete(BSTR, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP CopyHere(BSTR, BSTR, IDispatch**) override { return E_NOTIMPL; }
    STDMETHODIMP MoveHere(BSTR, BSTR, IDispatch**) override { return E_NOTIMPL; }

protected:
    enum : DISPID { kGetObject = 1, kFilter, kHints, kName, kClass, kADsPath };
    const DispMember* Members(size_t& count) const override {
        static const DispMember members[] = {
            {L"GetObject", kGetObject}, {L"Filter", kFilter}, {L"Hints", kHints},
            {L"Name", kName},           {L"Class", kClass},   {L"ADsPath", kADsPath},
        };
        count = sizeof members / sizeof members[0];
        return members;
    }
    HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) override {
        const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
        switch (id) {
        case kGetObject: {
            if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
            if (params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
            std::wstring cls, name;
            HRESULT hr = ArgText(params, 0, cls);
            if (SUCCEEDED(hr)) hr = ArgText(params, 1, name);
            if (FAILED(hr)) return hr;
            Bstr c(cls), n(name);
            IDispatch* object = nullptr;
            hr = GetObject(c.get(), n.get(), &object);
            if (FAILED(hr)) return hr;
            if (!result) {
                object->Release();
                return S_OK;
            }
            ::VariantInit(result);
            result->vt = VT_DISPATCH;
            result->pdispVal = object;
            return S_OK;
        }
        case kFilter:
        case kHints: {
            Variant& slot = id == kFilter ? filter_ : hints_;
            if (put) {
                if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
                return ::VariantCopyInd(slot.put(), &params->rgvarg[0]);
            }
            return result ? ::VariantCopy(result, slot.get()) : S_OK;
        }
        }
        if (put || !IsGet(flags, params)) return DISP_E_MEMBERNOTFOUND;
        switch (id) {
        case kName: return ResultText(result, name_);
        case kClass: return ResultText(result, L"Computer");
        case kADsPath: return ResultText(result, ComputerPath(name_));
        }
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    std::wstring name_;
    Variant filter_;
    Variant hints_;
};

// What ADsGetObject and ADsOpenObject create through the providers key.
class ProviderObject : public Automation<IADsOpenDSObject> {
public:
    STDMETHODIMP OpenDSObject(BSTR path, BSTR, BSTR, LONG, IDispatch** object) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            // Credentials are not needed for this computer's own objects.
            return BindPath(std::wstring(path ? path : L"", ::SysStringLen(path)), object);
        });
    }

protected:
    enum : DISPID { kOpenDSObject = 1 };
    const DispMember* Members(size_t& count) const override {
        static const DispMember members[] = {{L"OpenDSObject", kOpenDSObject}};
        count = 1;
        return members;
    }
    HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) override {
        if (id != kOpenDSObject || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs < 1 || params->cArgs > 4) return DISP_E_BADPARAMCOUNT;
        std::wstring path;
        HRESULT hr = ArgText(params, 0, path);
        if (FAILED(hr)) return hr;
        IDispatch* object = nullptr;
        hr = BindPath(path, &object);
        if (FAILED(hr)) return hr;
        if (!result) {
            object->Release();
            return S_OK;
        }
        ::VariantInit(result);
        result->vt = VT_DISPATCH;
        result->pdispVal = object;
        return S_OK;
    }
};

class SystemInfo : public Automation<IADsWinNTSystemInfo> {
public:
    STDMETHODIMP get_UserName(BSTR* out) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            wchar_t name[256 + 1];
            DWORD size = 256 + 1;
            if (!::GetUserNameW(name, &size)) {
                DWORD code = ::GetLastError();
                return Fail(HRESULT_FROM_WIN32(code), SystemMessage(code));
            }
            return PutText(out, name);
        });
    }
    STDMETHODIMP get_ComputerName(BSTR* out) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return PutText(out, LocalComputerName()); });
    }
    // No domain membership is known to this substitute.
    STDMETHODIMP get_DomainName(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_PDC(BSTR*) override { return E_NOTIMPL; }

protected:
    enum : DISPID { kUserName = 1, kComputerName };
    const DispMember* Members(size_t& count) const override {
        static const DispMember members[] = {{L"UserName", kUserName}, {L"ComputerName", kComputerName}};
        count = 2;
        return members;
    }
    HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) override {
        if (!IsGet(flags, params) || params->cArgs != 0) return DISP_E_MEMBERNOTFOUND;
        Bstr text;
        HRESULT hr = id == kUserName ? get_UserName(text.put())
                     : id == kComputerName ? get_ComputerName(text.put())
                                           : DISP_E_MEMBERNOTFOUND;
        if (FAILED(hr)) return hr;
        return ResultText(result, text.str());
    }
};

// The provider class's class object. MkParseDisplayName asks it for IParseDisplayName;
// the parsed name is bound at once and handed back in a pointer moniker, whose binding
// then only asks the object for the wanted interface.
class ProviderClassObject final : public com::Object<IClassFactory, IParseDisplayName> {
public:
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!ppv) return E_POINTER;
            *ppv = nullptr;
            if (outer) return CLASS_E_NOAGGREGATION;
            return CreateProvider(riid, ppv);
        });
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (lock)
                com::Counts().Lock();
            else
                com::Counts().Unlock();
            return S_OK;
        });
    }

    STDMETHODIMP ParseDisplayName(IBindCtx*, LPOLESTR name, ULONG* eaten, IMoniker** moniker) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!name || !eaten || !moniker) return E_POINTER;
            *eaten = 0;
            *moniker = nullptr;
            IDispatch* object = nullptr;
            HRESULT hr = BindPath(name, &object);
            if (FAILED(hr)) return hr;
            hr = ::CreatePointerMoniker(object, moniker);
            object->Release();
            if (SUCCEEDED(hr)) *eaten = static_cast<ULONG>(::lstrlenW(name));
            return hr;
        });
    }

private:
    com::ObjectCount count_;
};

template <class T>
HRESULT Make(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    T* obj = new (std::nothrow) T();
    if (!obj) return E_OUTOFMEMORY;
    HRESULT hr = obj->QueryInterface(riid, ppv);
    obj->Release();
    return hr;
}

}  // namespace

std::wstring LocalComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

HRESULT BindPath(const std::wstring& path, IDispatch** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    const auto computer = ParseComputerPath(path);
    if (!computer) return Fail(E_ADS_BAD_PATHNAME, L"Not a computer path of this provider: " + path);
    const std::wstring local = LocalComputerName();
    if (!SameName(*computer, local) && !SameName(*computer, DnsHostName()))
        return Fail(HRESULT_FROM_WIN32(ERROR_BAD_NETPATH), SystemMessage(ERROR_BAD_NETPATH));
    auto* obj = new (std::nothrow) ComputerObject(local);
    if (!obj) return E_OUTOFMEMORY;
    *object = obj;
    return S_OK;
}

HRESULT CreateProvider(REFIID riid, void** ppv) { return Make<ProviderObject>(riid, ppv); }
HRESULT CreateSystemInfo(REFIID riid, void** ppv) { return Make<SystemInfo>(riid, ppv); }

HRESULT GetProviderClassObject(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    auto* factory = new (std::nothrow) ProviderClassObject();
    if (!factory) return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

}  // namespace vantrel::adsi
