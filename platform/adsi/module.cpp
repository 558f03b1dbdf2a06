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
#include "platform/winapi/self_registration.h"
#include "provider.h"

namespace {

constexpr char kProvidersKey[] = "Software\\Microsoft\\ADs\\Providers\\WinNT";

using vantrel::com::GuidText;

vantrel::com::ClassRegistration Class(const GUID& clsid, const char* name, const char* prog_id) {
    vantrel::com::ClassRegistration c;
    c.clsid = GuidText(clsid);
    c.name = name;
    c.prog_id = prog_id;
    c.threading = "Both";
    return c;
}

// Both binding paths: the providers key names the ProgID "WinNT" (ADsGetObject asks its
// class for IADsOpenDSObject), and the same ProgID is what MkParseDisplayName resolves
// for a script's GetObject("WinNT://...").
vantrel::com::ClassRegistration Provider() {
    return Class(vantrel::adsi::CLSID_WinNTProvider, "WinNT Provider", "WinNT");
}
vantrel::com::ClassRegistration SystemInfo() {
    return Class(CLSID_WinNTSystemInfo, "WinNTSystemInfo", "WinNTSystemInfo");
}

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
    const std::string path = vantrel::com::ModulePath();
    if (path.empty()) return HRESULT_FROM_WIN32(::GetLastError());
    if (!ProviderFree() || !SystemInfoFree(path)) return SELFREG_E_CLASS;
    HRESULT hr = vantrel::com::RegisterClasses({Provider(), SystemInfo()});
    if (FAILED(hr)) return hr;
    vantrel::com::RegistryValue key{kProvidersKey, "", "WinNT"};
    key.root = vantrel::com::Root::LocalMachine;
    return vantrel::com::WriteValues({key});
}

STDAPI DllUnregisterServer() {
    HRESULT result = S_OK;
    auto keep = [&result](HRESULT hr) {
        if (FAILED(hr)) result = hr;
    };
    if (ProviderFree()) {
        keep(vantrel::com::DeleteKeys(vantrel::com::Root::LocalMachine, {kProvidersKey}));
        keep(vantrel::com::UnregisterClasses({Provider()}));
    } else {
        // The platform's provider keeps its ProgID; only our class goes.
        keep(vantrel::com::DeleteKeys(vantrel::com::Root::ClassesRoot, {"CLSID\\" + Provider().clsid}));
    }
    if (SystemInfoFree(vantrel::com::ModulePath())) keep(vantrel::com::UnregisterClasses({SystemInfo()}));
    return result;
}
