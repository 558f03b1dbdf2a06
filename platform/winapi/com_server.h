// The pieces every in-process COM server of ours shares: module counts, class
// factories and a base for objects with one dual interface.
#pragma once

#include <windows.h>

#include <oaidl.h>
#include <ocidl.h>

#include <new>

#include "platform/winapi/com_barrier.h"
#include "platform/winapi/com_object.h"

namespace vantrel::com {

// Live objects and server locks of one DLL. Changed with interlocked operations:
// objects of several apartments may come and go at the same time.
class ModuleCounts {
public:
    void AddObject() { ::InterlockedIncrement(&objects_); }
    void ReleaseObject() { ::InterlockedDecrement(&objects_); }
    void Lock() { ::InterlockedIncrement(&locks_); }
    void Unlock() { ::InterlockedDecrement(&locks_); }
    bool CanUnload() const { return objects_ == 0 && locks_ == 0; }

private:
    volatile LONG objects_ = 0;
    volatile LONG locks_ = 0;
};

// Each DLL defines these three.
ModuleCounts& Counts();
HMODULE ModuleHandle();
// The type library carried as resource TYPELIB 1 of this module, loaded once.
ITypeLib* ModuleTypeLib();

// Type information of one interface of the module's type library, or null.
ITypeInfo* ModuleTypeInfo(REFGUID guid);

// Keeps the module loaded while an object that is not a Dual (an enumerator) lives.
class ObjectCount {
public:
    ObjectCount() { Counts().AddObject(); }
    ObjectCount(const ObjectCount&) : ObjectCount() {}
    ObjectCount& operator=(const ObjectCount&) = default;
    ~ObjectCount() { Counts().ReleaseObject(); }
};

namespace detail {

// The first entry of a Dual: its interface, answered with IDispatch and with any bases
// that the class names itself (Dual<Chain<IDerived, IBase>>).
template <class Itf>
struct DualEntry {
    using type = Chain<Itf, IDispatch>;
};
template <class Itf, class... Bases>
struct DualEntry<Chain<Itf, Bases...>> {
    using type = Chain<Itf, IDispatch, Bases...>;
};

}  // namespace detail

// Base of a class whose clients call one dual interface (the first entry), and which may
// answer further interfaces (Others: connection points and the like). IDispatch goes
// through the type library, so dispatch and vtable callers reach the same members.
template <class Entry, class... Others>
class Dual : public Object<typename detail::DualEntry<Entry>::type, ISupportErrorInfo, Others...> {
    using Itf = typename detail::Listed<Entry>::Interface;

public:
    ~Dual() override = default;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (!n) return E_POINTER;
        *n = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** ti) override {
        if (!ti) return E_POINTER;
        *ti = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return Barrier([&] {
            ITypeInfo* info = TypeInfo();
            if (!info) return TYPE_E_ELEMENTNOTFOUND;
            info->AddRef();
            *ti = info;
            return S_OK;
        });
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return Barrier([&] {
            ITypeInfo* info = TypeInfo();
            if (!info) return TYPE_E_ELEMENTNOTFOUND;
            return ::DispGetIDsOfNames(info, names, count, ids);
        });
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excep, UINT* argErr) override {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        return Barrier([&] {
            ITypeInfo* info = TypeInfo();
            if (!info) return TYPE_E_ELEMENTNOTFOUND;
            return info->Invoke(static_cast<Itf*>(this), id, DispatchFlags(id, flags), params, result, excep, argErr);
        });
    }

    // ISupportErrorInfo: only the class's own dual interface carries error information.
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == __uuidof(Itf) ? S_OK : S_FALSE;
    }

protected:
    // The type information of Itf: from the module's own type library unless the class
    // takes it from elsewhere.
    virtual ITypeInfo* TypeInfo() { return ModuleTypeInfo(__uuidof(Itf)); }
    // The invoke flags as the type information is called with them.
    virtual WORD DispatchFlags(DISPID, WORD flags) { return flags; }

private:
    ObjectCount count_;
};

// Creates a new T (constructed with a reference count of 1) and asks it for riid; a
// constructor that throws gives an error result, never an exception.
template <class T>
HRESULT CreateObject(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    return Barrier([&] {
        T* obj = new T();
        HRESULT hr = obj->QueryInterface(riid, ppv);
        obj->Release();
        return hr;
    });
}

using CreateFunction = HRESULT (*)(REFIID, void**);

// The class factory of one class; it lives as long as its clients hold it.
class ClassFactory final : public Object<IClassFactory> {
public:
    explicit ClassFactory(CreateFunction create) : create_(create) {}
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    CreateFunction create_;
    ObjectCount count_;
};

// The DllGetClassObject answer for one create function.
HRESULT GetClassFactory(CreateFunction create, REFIID riid, void** ppv);

// Sets the thread's error information (null interface GUID, no help file).
void SetErrorInfo(const wchar_t* source, const wchar_t* description);

}  // namespace vantrel::com
