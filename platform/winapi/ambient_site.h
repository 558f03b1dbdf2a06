// The client site a container gives an invisible control: it answers the ambient user
// mode (run time or design time) and asks nothing else of its document.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include "platform/winapi/adopt.h"
#include "platform/winapi/com_barrier.h"
#include "platform/winapi/com_object.h"

namespace vantrel::com {

class AmbientSite final : public Object<IOleClientSite, IDispatch> {
public:
    static Microsoft::WRL::ComPtr<AmbientSite> Create(bool user_mode) {
        return Adopt(new AmbientSite(user_mode));
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** mk) override {
        if (mk) *mk = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** c) override {
        if (c) *c = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IDispatch: the ambient properties; only the user mode is answered.
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            ::InterlockedIncrement(&asked_);
            if (id != DISPID_AMBIENT_USERMODE || !(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
            if (result) {
                ::VariantInit(result);
                result->vt = VT_BOOL;
                result->boolVal = user_mode_ ? VARIANT_TRUE : VARIANT_FALSE;
            }
            return S_OK;
        });
    }

    // How often the control asked for an ambient property.
    LONG asked() const { return asked_; }

private:
    explicit AmbientSite(bool user_mode) : user_mode_(user_mode) {}
    ~AmbientSite() override = default;
    LONG asked_ = 0;
    bool user_mode_;
};

}  // namespace vantrel::com
