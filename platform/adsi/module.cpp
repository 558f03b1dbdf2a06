// vtadsi.dll: class table and self-registration of the "WinNT:" provider substitute.
// Only registered where the platform has no "WinNT:" provider (tools/install.cmd).
#include <windows.h>

#include <ole2.h>
#include <iads.h>
#include <olectl.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/winapi/com_module.h"
#include "platform/winapi/handles.h"
#include "provider.h"

namespace {

constexpr char kProvidersKey[] = "Software\\Microsoft\\ADs\\Providers\\WinNT";

struct RegValue {
    HKEY root;
    std::string key;
    std::string name;  // empty: the key's default value
    std::string data;
};

std::string GuidText(const GUID& guid) {
    wchar_t wide[40];
    ::StringFromGUID2(guid, wide, 40);
    std::string text;
    for (const wchar_t* p = wide; *p; ++p) text += static_cast<char>(*p);
    return text;
}

std::string ModulePath() {
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(vantrel::com::ModuleHandle(), path, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::string(path, n) : std::string();
}

// Both binding paths: the providers key names the ProgID "WinNT" (ADsGetObject asks its
// class for IADsOpenDSObject), and the same ProgID is what MkParseDisplayName resolves
// for a script's GetObject("WinNT://...").
std::vector<RegValue> Values(const std::string& path) {
    const std::string provider = "CLSID\\" + GuidText(vantrel::adsi::CLSID_WinNTProvider);
    const std::string info = "CLSID\\" + GuidText(CLSID_WinNTSystemInfo);
    return {
        {HKEY_CLASSES_ROOT, provider, "", "WinNT Provider"},
        {HKEY_CLASSES_ROOT, provider + "\\InprocServer32", "", path},
        {HKEY_CLASSES_ROOT, provider + "\\InprocServer32", "ThreadingModel", "Both"},
        {HKEY_CLASSES_ROOT, provider + "\\ProgID", "", "WinNT"},
        {HKEY_CLASSES_ROOT, "WinNT", "", "WinNT Provider"},
        {HKEY_CLASSES_ROOT, "WinNT\\CLSID", "", GuidText(vantrel::adsi::CLSID_WinNTProvider)},
        {HKEY_CLASSES_ROOT, info, "", "WinNTSystemInfo"},
        {HKEY_CLASSES_ROOT, info + "\\InprocServer32", "", path},
        {HKEY_CLASSES_ROOT, info + "\\InprocServer32", "ThreadingModel", "Both"},
        {HKEY_CLASSES_ROOT, info + "\\ProgID", "", "WinNTSystemInfo"},
        {HKEY_CLASSES_ROOT, "WinNTSystemInfo", "", "WinNTSystemInfo"},
        {HKEY_CLASSES_ROOT, "WinNTSystemInfo\\CLSID", "", GuidText(CLSID_WinNTSystemInfo)},
        {HKEY_LOCAL_MACHINE, kProvidersKey, "", "WinNT"},
    };
}

HRESULT FromWin32(LONG code) { return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code); }

// A key's default text, or nothing when the key or value is missing.
bool ReadDefault(HKEY root, const std::string& key, std::string& text) {
    vantrel::RegKey k;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, k.put()) != ERROR_SUCCESS) return false;
    char data[MAX_PATH * 2] = {};
    DWORD size = sizeof data - 1, type = 0;
    if (::RegQueryValueExA(k.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
        return false;
    text.assign(data, ::strnlen(data, size));
    return true;
}

bool KeyExists(HKEY root, const std::string& key) {
    vantrel::RegKey k;
    return ::RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, k.put()) == ERROR_SUCCESS;
}

// Whether the entries of a name are ours (or absent). A platform that has its own
// "WinNT:" provider or system-information class keeps them: we neither replace nor
// remove them.
bool ProviderFree() {
    std::string progid, clsid;
    const std::string ours = GuidText(vantrel::adsi::CLSID_WinNTProvider);
    const bool key_free = !KeyExists(HKEY_LOCAL_MACHINE, kProvidersKey) ||
                          (ReadDefault(HKEY_LOCAL_MACHINE, kProvidersKey, progid) && progid == "WinNT" &&
                           ReadDefault(HKEY_CLASSES_ROOT, "WinNT\\CLSID", clsid) && clsid == ours);
    const bool progid_free = !ReadDefault(HKEY_CLASSES_ROOT, "WinNT\\CLSID", clsid) || clsid == ours;
    return key_free && progid_free;
}

// The file name without its folder: a copy of ours installed elsewhere is still ours.
std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SystemInfoFree(const std::string& path) {
    std::string server;
    const std::string key = "CLSID\\" + GuidText(CLSID_WinNTSystemInfo) + "\\InprocServer32";
    return !ReadDefault(HKEY_CLASSES_ROOT, key, server) ||
           ::lstrcmpiA(FileNameOf(server).c_str(), FileNameOf(path).c_str()) == 0;
}

}  // namespace

namespace vantrel::com {
const ClassEntry kModuleClasses[] = {
    // The provider's class object also parses "WinNT:" display names.
    {&vantrel::adsi::CLSID_WinNTProvider, nullptr, vantrel::adsi::GetProviderClassObject},
    {&CLSID_WinNTSystemInfo, vantrel::adsi::CreateSystemInfo},
};
const size_t kModuleClassCount = sizeof kModuleClasses / sizeof kModuleClasses[0];
}  // namespace vantrel::com

STDAPI DllRegisterServer() {
    const std::string path = ModulePath();
    if (path.empty()) return HRESULT_FROM_WIN32(::GetLastError());
    if (!ProviderFree() || !SystemInfoFree(path)) return SELFREG_E_CLASS;
    for (const auto& v : Values(path)) {
        vantrel::RegKey key;
        LONG rc = ::RegCreateKeyExA(v.root, v.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                    nullptr, key.put(), nullptr);
        if (rc == ERROR_SUCCESS)
            rc = ::RegSetValueExA(key.get(), v.name.empty() ? nullptr : v.name.c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(v.data.c_str()), static_cast<DWORD>(v.data.size() + 1));
        if (rc != ERROR_SUCCESS) return FromWin32(rc);
    }
    return S_OK;
}

STDAPI DllUnregisterServer() {
    HRESULT result = S_OK;
    auto remove = [&result](HKEY root, const std::string& key) {
        LONG rc = ::RegDeleteTreeA(root, key.c_str());
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) result = FromWin32(rc);
    };
    if (ProviderFree()) {
        remove(HKEY_LOCAL_MACHINE, kProvidersKey);
        remove(HKEY_CLASSES_ROOT, "WinNT");
    }
    remove(HKEY_CLASSES_ROOT, "CLSID\\" + GuidText(vantrel::adsi::CLSID_WinNTProvider));
    if (SystemInfoFree(ModulePath())) {
        remove(HKEY_CLASSES_ROOT, "CLSID\\" + GuidText(CLSID_WinNTSystemInfo));
        remove(HKEY_CLASSES_ROOT, "WinNTSystemInfo");
    }
    return result;
}
