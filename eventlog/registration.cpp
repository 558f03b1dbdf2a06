// Self-registration: the class entries under HKEY_CLASSES_ROOT and the type library.
#include <windows.h>

#include <string>

#include "core/class_table.h"
#include "platform/winapi/com_server.h"
#include "platform/winapi/handles.h"

namespace {

HRESULT FromWin32(LONG code) { return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code); }

std::string ModulePath() {
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(vantrel::com::ModuleHandle(), path, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::string(path, n) : std::string();
}

HRESULT WriteValue(const lorvex::RegistryValue& v) {
    vantrel::RegKey key;
    LONG rc = ::RegCreateKeyExA(HKEY_CLASSES_ROOT, v.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (rc != ERROR_SUCCESS || v.key_only) return FromWin32(rc);
    rc = ::RegSetValueExA(key.get(), v.name.empty() ? nullptr : v.name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(v.data.c_str()), static_cast<DWORD>(v.data.size() + 1));
    return FromWin32(rc);
}

HRESULT DeleteTree(const std::string& key) {
    LONG rc = ::RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
    return (rc == ERROR_FILE_NOT_FOUND) ? S_OK : FromWin32(rc);
}

HRESULT TypeLibAttributes(GUID* libid, WORD* major, WORD* minor, LCID* lcid, SYSKIND* syskind) {
    ITypeLib* tl = vantrel::com::ModuleTypeLib();
    if (!tl) return TYPE_E_CANTLOADLIBRARY;
    TLIBATTR* attr = nullptr;
    HRESULT hr = tl->GetLibAttr(&attr);
    if (FAILED(hr)) return hr;
    *libid = attr->guid;
    *major = attr->wMajorVerNum;
    *minor = attr->wMinorVerNum;
    *lcid = attr->lcid;
    *syskind = attr->syskind;
    tl->ReleaseTLibAttr(attr);
    return S_OK;
}

}  // namespace

STDAPI DllRegisterServer() {
    const std::string path = ModulePath();
    if (path.empty()) return HRESULT_FROM_WIN32(::GetLastError());
    for (const auto& entry : lorvex::RegisteredClasses()) {
        for (const auto& value : lorvex::RegistrationValues(entry, path)) {
            HRESULT hr = WriteValue(value);
            if (FAILED(hr)) return hr;
        }
    }
    ITypeLib* tl = vantrel::com::ModuleTypeLib();
    if (!tl) return TYPE_E_CANTLOADLIBRARY;
    wchar_t wpath[MAX_PATH];
    ::GetModuleFileNameW(vantrel::com::ModuleHandle(), wpath, MAX_PATH);
    return ::RegisterTypeLib(tl, wpath, nullptr);
}

STDAPI DllUnregisterServer() {
    HRESULT result = S_OK;
    for (const auto& entry : lorvex::RegisteredClasses()) {
        for (const auto& key : lorvex::RegistrationKeys(entry)) {
            HRESULT hr = DeleteTree(key);
            if (FAILED(hr)) result = hr;
        }
    }
    GUID libid;
    WORD major, minor;
    LCID lcid;
    SYSKIND syskind;
    HRESULT hr = TypeLibAttributes(&libid, &major, &minor, &lcid, &syskind);
    if (FAILED(hr)) return hr;
    // A type library that is not registered is no failure of unregistration.
    BSTR registered = nullptr;
    if (SUCCEEDED(::QueryPathOfRegTypeLib(libid, major, minor, lcid, &registered))) {
        ::SysFreeString(registered);
        hr = ::UnRegisterTypeLib(libid, major, minor, lcid, syskind);
        if (FAILED(hr)) result = hr;
    }
    return result;
}
