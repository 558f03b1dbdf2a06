// VelmSendmail.ocx: its class and its registration.
#include <windows.h>

#include <string>

#include "idl.h"
#include "mail_control.h"
#include "platform/winapi/com_module.h"
#include "platform/winapi/handles.h"

namespace {

const char kClsid[] = "{1F38D9A9-1AA8-4201-9008-BE0D83D3FB16}";
const char kProgId[] = "VelmSendMail.VelmSendmail";
const char kProgIdVersioned[] = "VelmSendMail.VelmSendmail.1";
const char kLibId[] = "{A3966B1A-2B4D-41E6-B491-327108909187}";

HRESULT FromWin32(LONG code) { return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code); }

HRESULT SetValue(const std::string& key_path, const char* name, const std::string& data) {
    vantrel::RegKey key;
    LONG rc = ::RegCreateKeyExA(HKEY_CLASSES_ROOT, key_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (rc != ERROR_SUCCESS) return FromWin32(rc);
    rc = ::RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(data.size() + 1));
    return FromWin32(rc);
}

}  // namespace

namespace vantrel::com {
const ClassEntry kModuleClasses[] = {{&CLSID_VelmSendmail, velmsendmail::CreateMailControl}};
const size_t kModuleClassCount = 1;
}  // namespace vantrel::com

STDAPI DllRegisterServer() {
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(vantrel::com::ModuleHandle(), path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return HRESULT_FROM_WIN32(::GetLastError());
    const std::string clsid_key = std::string("CLSID\\") + kClsid;
    const struct {
        std::string key;
        const char* name;
        std::string data;
    } values[] = {
        {clsid_key, nullptr, "VelmSendmail"},
        {clsid_key + "\\InprocServer32", nullptr, std::string(path, n)},
        {clsid_key + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {clsid_key + "\\ProgID", nullptr, kProgIdVersioned},
        {clsid_key + "\\VersionIndependentProgID", nullptr, kProgId},
        {clsid_key + "\\TypeLib", nullptr, kLibId},
        {clsid_key + "\\Version", nullptr, "1.0"},
        {kProgId, nullptr, "VelmSendmail"},
        {std::string(kProgId) + "\\CLSID", nullptr, kClsid},
        {std::string(kProgId) + "\\CurVer", nullptr, kProgIdVersioned},
        {kProgIdVersioned, nullptr, "VelmSendmail"},
        {std::string(kProgIdVersioned) + "\\CLSID", nullptr, kClsid},
    };
    for (const auto& v : values) {
        HRESULT hr = SetValue(v.key, v.name, v.data);
        if (FAILED(hr)) return hr;
    }
    ITypeLib* tl = vantrel::com::ModuleTypeLib();
    if (!tl) return TYPE_E_CANTLOADLIBRARY;
    wchar_t wpath[MAX_PATH];
    ::GetModuleFileNameW(vantrel::com::ModuleHandle(), wpath, MAX_PATH);
    return ::RegisterTypeLib(tl, wpath, nullptr);
}

STDAPI DllUnregisterServer() {
    HRESULT result = S_OK;
    for (std::string key : {std::string("CLSID\\") + kClsid, std::string(kProgId), std::string(kProgIdVersioned)}) {
        LONG rc = ::RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) result = FromWin32(rc);
    }
    BSTR registered = nullptr;
    if (SUCCEEDED(::QueryPathOfRegTypeLib(LIBID_VelmSendMail, 1, 0, 0, &registered))) {
        ::SysFreeString(registered);
        HRESULT hr = ::UnRegisterTypeLib(LIBID_VelmSendMail, 1, 0, 0, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
        if (FAILED(hr)) result = hr;
    }
    return result;
}
