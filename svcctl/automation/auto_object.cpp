#include "automation/auto_object.h"

#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "core/errors.h"
#include "dovrin.h"
#include "platform/winapi/oleauto.h"
#include "quillaby.h"

namespace dovrin::automation {

const GUID& kDovrinLibrary = LIBID_Dovrin;
const GUID& kQuillabyLibrary = LIBID_Quillaby;

LCID LibraryLocale(REFGUID library) {
    return ::IsEqualGUID(library, kDovrinLibrary) ? 0x409 : LOCALE_NEUTRAL;
}

HRESULT RegisteredTypeInfo(REFGUID library, REFGUID itf, ITypeInfo** info) {
    // Loaded type information is kept for the process; a failed load is asked again next
    // time, so that registering the library later helps.
    static std::mutex lock;
    static std::map<std::pair<GUID, GUID>, ITypeInfo*,
                    bool (*)(const std::pair<GUID, GUID>&, const std::pair<GUID, GUID>&)>
        cache([](const std::pair<GUID, GUID>& a, const std::pair<GUID, GUID>& b) {
            return std::memcmp(&a, &b, sizeof a) < 0;
        });
    *info = nullptr;
    std::lock_guard<std::mutex> hold(lock);
    auto key = std::make_pair(library, itf);
    auto it = cache.find(key);
    if (it == cache.end()) {
        ITypeLib* lib = nullptr;
        HRESULT hr = ::LoadRegTypeLib(library, 1, 0, LibraryLocale(library), &lib);
        if (FAILED(hr)) return hr;
        ITypeInfo* found = nullptr;
        hr = lib->GetTypeInfoOfGuid(itf, &found);
        lib->Release();
        if (FAILED(hr)) return hr;
        it = cache.emplace(key, found).first;
    }
    it->second->AddRef();
    *info = it->second;
    return S_OK;
}

HRESULT Fail(const std::exception& e) {
    vantrel::com::SetErrorInfo(L"Dovrin.VuRURazerir", vantrel::WideFromAnsi(std::string(e.what())).c_str());
    return HRESULT(StatusOf(e));
}

HRESULT FailOutOfMemory() {
    vantrel::com::SetErrorInfo(L"Dovrin.VuRURazerir", L"Out of memory");
    return E_OUTOFMEMORY;
}

HRESULT FailUnknown() {
    vantrel::com::SetErrorInfo(L"Dovrin.VuRURazerir", L"Unexpected failure");
    return E_UNEXPECTED;
}

std::string Text(BSTR s) {
    return s ? vantrel::AnsiFromWide(s, ::SysStringLen(s)) : std::string();
}

BSTR NewBstr(const std::string& s) {
    if (vantrel::com::AllocationFailsForTest("automation string")) throw std::bad_alloc();
    if (s.empty()) return nullptr;
    std::wstring w = vantrel::WideFromAnsi(s);
    BSTR b = ::SysAllocStringLen(w.data(), UINT(w.size()));
    if (!b) throw std::bad_alloc();
    return b;
}

}  // namespace dovrin::automation
