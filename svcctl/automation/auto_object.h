// The base of the library's small automation objects and the error and text conversions
// that every automation member of the library shares.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <exception>
#include <string>

#include "platform/winapi/com_server.h"

namespace dovrin::automation {

// Type information of an interface of a registered type library (version 1.0, neutral
// locale); the status of the failed load when the library is not registered.
HRESULT RegisteredTypeInfo(REFGUID library, REFGUID itf, ITypeInfo** info);

extern const GUID kDovrinLibrary;
extern const GUID kQuillabyLibrary;
// The locale each library is registered under (Dovrin: 0x409, Quillaby: neutral).
LCID LibraryLocale(REFGUID library);

// Turns a caught failure into the member's status with error information: the library's
// own errors give 0x800407D0, anything else 0x8000FFFF, each with its text.
HRESULT Fail(const std::exception& e);
HRESULT FailUnknown();

// Automation strings to and from the component's texts (system code page).
std::string Text(BSTR s);
BSTR NewBstr(const std::string& s);  // null on an empty text, as automation allows
inline VARIANT_BOOL Bool(bool b) { return b ? VARIANT_TRUE : VARIANT_FALSE; }
// A handle as the 32-bit integer that the interface carries.
inline long HandleValue(const void* h) { return long(reinterpret_cast<intptr_t>(h)); }

// Runs a member's body: clears the out pointer first, reports failures.
template <class F>
HRESULT Guard(F body) {
    try {
        body();
        return S_OK;
    } catch (const std::exception& e) {
        return Fail(e);
    } catch (...) {
        return FailUnknown();
    }
}

// One dual interface whose dispatch goes through a registered type library. Scripts set
// object properties with Set, which arrives as PROPERTYPUTREF: members named by
// PutRefIsPut take it as their plain put.
template <class Itf>
class AutoObject : public Itf, public ISupportErrorInfo {
public:
    AutoObject() = default;
    AutoObject(const AutoObject&) = delete;
    AutoObject& operator=(const AutoObject&) = delete;
    virtual ~AutoObject() {
        if (info_) info_->Release();
    }

    // Loads the type information; an object whose type library is not registered is
    // never handed out.
    HRESULT Init(REFGUID library) { return RegisteredTypeInfo(library, __uuidof(Itf), &info_); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(Itf))
            *ppv = static_cast<Itf*>(this);
        else if (riid == IID_ISupportErrorInfo)
            *ppv = static_cast<ISupportErrorInfo*>(this);
        if (!*ppv) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG n = ::InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (!n) return E_POINTER;
        *n = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** ti) override {
        if (!ti) return E_POINTER;
        *ti = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        info_->AddRef();
        *ti = info_;
        return S_OK;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return ::DispGetIDsOfNames(info_, names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excep, UINT* arg_err) override {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if ((flags & DISPATCH_PROPERTYPUTREF) && PutRefIsPut(id))
            flags = WORD((flags & ~DISPATCH_PROPERTYPUTREF) | DISPATCH_PROPERTYPUT);
        return info_->Invoke(static_cast<Itf*>(this), id, flags, params, result, excep, arg_err);
    }
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == __uuidof(Itf) ? S_OK : S_FALSE;
    }

protected:
    virtual bool PutRefIsPut(DISPID) { return false; }

private:
    volatile LONG refs_ = 1;
    ITypeInfo* info_ = nullptr;
    vantrel::com::ObjectCount count_;
};

// Makes T (reference count 1), loads its type information and hands out Itf; on failure
// the object is dropped and *out stays null.
template <class T, class Itf>
HRESULT MakeObject(T* object, REFGUID library, Itf** out) {
    *out = nullptr;
    if (!object) return E_OUTOFMEMORY;
    HRESULT hr = object->Init(library);
    if (FAILED(hr)) {
        object->Release();
        return hr;
    }
    *out = object;
    return S_OK;
}

}  // namespace dovrin::automation
