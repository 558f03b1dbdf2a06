#include "platform/winapi/self_registration.h"

#include "platform/winapi/com_server.h"
#include "platform/winapi/handles.h"

namespace vantrel::com {

namespace {

HRESULT FromWin32(LONG code) { return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code); }

HKEY RootKey(Root root) { return root == Root::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT; }

std::wstring ModulePathW() {
    wchar_t path[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(ModuleHandle(), path, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::wstring(path, n) : std::wstring();
}

}  // namespace

std::string GuidText(REFGUID guid) {
    wchar_t wide[40];
    ::StringFromGUID2(guid, wide, 40);
    std::string text;
    for (const wchar_t* p = wide; *p; ++p) text += static_cast<char>(*p);
    return text;
}

std::string ModulePath() {
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(ModuleHandle(), path, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::string(path, n) : std::string();
}

HRESULT WriteValues(const std::vector<RegistryValue>& values) {
    for (const auto& v : values) {
        RegKey key;
        LONG rc = ::RegCreateKeyExA(RootKey(v.root), v.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_SET_VALUE, nullptr, key.put(), nullptr);
        if (rc == ERROR_SUCCESS && !v.key_only)
            rc = ::RegSetValueExA(key.get(), v.name.empty() ? nullptr : v.name.c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(v.data.c_str()), static_cast<DWORD>(v.data.size() + 1));
        if (rc != ERROR_SUCCESS) return FromWin32(rc);
    }
    return S_OK;
}

HRESULT DeleteKeys(Root root, const std::vector<std::string>& keys) {
    HRESULT result = S_OK;
    for (const auto& key : keys) {
        LONG rc = ::RegDeleteTreeA(RootKey(root), key.c_str());
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) result = FromWin32(rc);
    }
    return result;
}

HRESULT RegisterClasses(const std::vector<ClassRegistration>& classes) {
    const std::string path = ModulePath();
    if (path.empty()) return HRESULT_FROM_WIN32(::GetLastError());
    for (const auto& c : classes) {
        HRESULT hr = WriteValues(ClassValues(c, path));
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT UnregisterClasses(const std::vector<ClassRegistration>& classes) {
    HRESULT result = S_OK;
    for (const auto& c : classes) {
        HRESULT hr = DeleteKeys(Root::ClassesRoot, ClassKeys(c));
        if (FAILED(hr)) result = hr;
    }
    return result;
}

HRESULT RegisterModuleTypeLib() {
    ITypeLib* tl = ModuleTypeLib();
    if (!tl) return TYPE_E_CANTLOADLIBRARY;
    std::wstring path = ModulePathW();
    if (path.empty()) return HRESULT_FROM_WIN32(::GetLastError());
    return ::RegisterTypeLib(tl, path.data(), nullptr);
}

HRESULT UnregisterTypeLibrary(REFGUID libid, WORD major, WORD minor, LCID lcid, SYSKIND syskind) {
    BSTR registered = nullptr;
    if (FAILED(::QueryPathOfRegTypeLib(libid, major, minor, lcid, &registered))) return S_OK;
    ::SysFreeString(registered);
    return ::UnRegisterTypeLib(libid, major, minor, lcid, syskind);
}

HRESULT UnregisterModuleTypeLib() {
    ITypeLib* tl = ModuleTypeLib();
    if (!tl) return TYPE_E_CANTLOADLIBRARY;
    TLIBATTR* attr = nullptr;
    HRESULT hr = tl->GetLibAttr(&attr);
    if (FAILED(hr)) return hr;
    const TLIBATTR a = *attr;
    tl->ReleaseTLibAttr(attr);
    return UnregisterTypeLibrary(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
}

HRESULT RegisterServer(const std::vector<ClassRegistration>& classes) {
    HRESULT hr = RegisterClasses(classes);
    return FAILED(hr) ? hr : RegisterModuleTypeLib();
}

HRESULT UnregisterServer(const std::vector<ClassRegistration>& classes) {
    HRESULT result = UnregisterClasses(classes);
    HRESULT hr = UnregisterModuleTypeLib();
    return FAILED(result) ? result : hr;
}

}  // namespace vantrel::com
