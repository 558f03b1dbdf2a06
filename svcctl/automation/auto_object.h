// The base of the library's small automation objects and the error and text conversions
// that every automation member of the library shares.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <exception>
#include <new>
#include <string>

#include "platform/winapi/com_server.h"

namespace dovrin::automation {

// Type information of an interface of a registered type library (version 1.0, neutral
// locale); the status of the failed load when the library is not registered.
HRESULT RegisteredTypeInfo(REFGUID library, REFGUID itf, ITypeInfo** info);

extern const GUID& kDovrinLibrary;
extern const GUID& kQuillabyLibrary;
// The locale each library is registered under (Dovrin: 0x409, Quillaby: neutral).
LCID LibraryLocale(REFGUID library);

// Turns a caught failure into the member's status with error information: the library's
// own errors give 0x800407D0, anything else 0x8000FFFF, each with its text.
HRESULT Fail(const std::exception& e);
HRESULT FailUnknown();
// "Out of memory" with E_OUTOFMEMORY.
HRESULT FailOutOfMemory();

// Automation strings to and from the component's texts (system code page).
std::string Text(BSTR s);
BSTR NewBstr(const std::string& s);  // null on an empty text, as automation allows
inline VARIANT_BOOL Bool(bool b) { return b ? VARIANT_TRUE : VARIANT_FALSE; }
// A handle as the 32-bit integer that the interface carries.
inline long HandleValue(const void* h) { return long(reinterpret_cast<intptr_t>(h)); }

// Runs a member's body behind the barrier and reports its failures.
template <class F>
HRESULT Guard(F body) {
    return vantrel::com::Barrier(
        [&] {
            try {
                body();
                return S_OK;
            } catch (const std::bad_alloc&) {
                throw;
            } catch (const std::exception& e) {
                return Fail(e);
            }
        },
        [](HRESULT status) { return status == E_OUTOFMEMORY ? FailOutOfMemory() : FailUnknown(); });
}

// One dual interface whose dispatch goes through a registered type library. Scripts set
// object properties with Set, which arrives as PROPERTYPUTREF: members named by
// PutRefIsPut take it as their plain put.
template <class Itf>
class AutoObject : public vantrel::com::Dual<Itf> {
public:
    ~AutoObject() override {
        if (info_) info_->Release();
    }

    // Loads the type information; an object whose type library is not registered is
    // never handed out.
    HRESULT Init(REFGUID library) { return RegisteredTypeInfo(library, __uuidof(Itf), &info_); }

protected:
    virtual bool PutRefIsPut(DISPID) { return false; }
    ITypeInfo* TypeInfo() override { return info_; }
    WORD DispatchFlags(DISPID id, WORD flags) override {
        if ((flags & DISPATCH_PROPERTYPUTREF) && PutRefIsPut(id))
            flags = WORD((flags & ~DISPATCH_PROPERTYPUTREF) | DISPATCH_PROPERTYPUT);
        return flags;
    }

private:
    ITypeInfo* info_ = nullptr;
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
