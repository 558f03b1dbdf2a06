#include "com_server.h"

#include <mutex>
#include <string>
#include <unordered_map>

namespace vantrel::com {

ITypeLib* ModuleTypeLib() {
    // Loaded from our own file, not the registry: the library must work while it is
    // being registered and even when another copy is registered.
    static ITypeLib* lib = [] {
        wchar_t path[MAX_PATH];
        ITypeLib* tl = nullptr;
        DWORD n = ::GetModuleFileNameW(ModuleHandle(), path, MAX_PATH);
        if (n > 0 && n < MAX_PATH) ::LoadTypeLibEx(path, REGKIND_NONE, &tl);
        return tl;
    }();
    return lib;
}

ITypeInfo* ModuleTypeInfo(REFGUID guid) {
    static std::mutex lock;
    static std::unordered_map<std::wstring, ITypeInfo*> infos;
    wchar_t key[40];
    ::StringFromGUID2(guid, key, 40);
    std::lock_guard<std::mutex> hold(lock);
    auto it = infos.find(key);
    if (it != infos.end()) return it->second;
    ITypeInfo* info = nullptr;
    if (ITypeLib* tl = ModuleTypeLib()) tl->GetTypeInfoOfGuid(guid, &info);
    if (info) infos.emplace(key, info);
    return info;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return Barrier([&] { return create_(riid, ppv); });
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        if (lock)
            Counts().Lock();
        else
            Counts().Unlock();
        return S_OK;
    });
}

HRESULT GetClassFactory(CreateFunction create, REFIID riid, void** ppv) {
    auto* factory = new (std::nothrow) ClassFactory(create);
    if (!factory) return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

}  // namespace vantrel::com
