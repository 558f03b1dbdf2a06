// The client site a container gives an invisible control: it answers the ambient user
// mode (run time or design time) and asks nothing else of its document.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include "platform/winapi/adopt.h"
#include "platform/winapi/com_barrier.h"

namespace vantrel::com {

class AmbientSite final : public IOleClientSite, public IDispatch {
public:
    static Microsoft::WRL::ComPtr<AmbientSite> Create(bool user_mode) {
        return Adopt(new AmbientSite(user_mode));
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IOleClientSite) {
            *ppv = static_cast<IOleClientSite*>(this);
        } else if (riid == IID_IDispatch) {
            *ppv = static_cast<IDispatch*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG n = ::InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
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
    ~AmbientSite() = default;
    LONG refs_ = 1;
    LONG asked_ = 0;
    bool user_mode_;
};

}  // namespace vantrel::com
