// vtsettings: prepares the settings key at installation.
//  - Each switch of the manager's main window that has no value yet gets the state the
//    window opens with, so that a fresh installation watches what the window shows (the
//    service watches only what is set to "1"). A value that exists is never changed.
//  - The key gets an access list of its own: Administrators and SYSTEM full control,
//    nobody else, not inherited from SOFTWARE (readable by every user), because it holds
//    the mail password under a reversible cipher. Its subkeys inherit that list.
// Exit 0 on success, 1 with the reason on standard error.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/manager_tables.h"
#include "core/settings_table.h"
#include "platform/winapi/handles.h"

namespace {

constexpr char kProductKey[] = "SOFTWARE\\Pelorin Software\\Quenloc";
using vantrel::common::kSettingsKey;

struct Failure {
    std::string what;
    LONG code;
};

void Check(LONG code, const std::string& what) {
    if (code != ERROR_SUCCESS) throw Failure{what, code};
}

// Writes a text value only where the key has no value of that name.
void WriteIfMissing(HKEY key, const char* name, const char* text) {
    const LONG found = ::RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
    if (found == ERROR_SUCCESS) return;
    if (found != ERROR_FILE_NOT_FOUND) Check(found, std::string("read ") + name);
    Check(::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                           static_cast<DWORD>(std::strlen(text) + 1)),
          std::string("write ") + name);
}

void WriteDesignStates() {
    vantrel::RegKey key;
    Check(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                            key.put(), nullptr),
          "create the settings key");
    for (const auto& s : vantrel::manager::Switches())
        WriteIfMissing(key.get(), s.setting, vantrel::manager::SwitchText(s.design_checked));
    WriteIfMissing(key.get(), vantrel::common::SettingName(vantrel::common::SettingId::IncludeExclude),
                   vantrel::manager::kDesignInclude ? "I" : "E");
}

// An access list allowing full control to Administrators and SYSTEM, carried down to
// subkeys; `inherited` marks the entries as coming from the parent.
struct Dacl {
    std::vector<BYTE> acl;
    SECURITY_DESCRIPTOR sd;
};

void BuildDacl(Dacl& d, bool inherited) {
    BYTE admins[SECURITY_MAX_SID_SIZE], system[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof admins;
    if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size)) Check(::GetLastError(), "SID");
    size = sizeof system;
    if (!::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &size)) Check(::GetLastError(), "SID");
    d.acl.assign(sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE), 0);
    ACL* acl = reinterpret_cast<ACL*>(d.acl.data());
    const DWORD flags = CONTAINER_INHERIT_ACE | (inherited ? INHERITED_ACE : 0);
    if (!::InitializeAcl(acl, static_cast<DWORD>(d.acl.size()), ACL_REVISION) ||
        !::AddAccessAllowedAceEx(acl, ACL_REVISION, flags, KEY_ALL_ACCESS, admins) ||
        !::AddAccessAllowedAceEx(acl, ACL_REVISION, flags, KEY_ALL_ACCESS, system) ||
        !::InitializeSecurityDescriptor(&d.sd, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&d.sd, TRUE, acl, FALSE))
        Check(::GetLastError(), "build the access list");
    // Protected at the top: nothing comes down from SOFTWARE any more.
    const SECURITY_DESCRIPTOR_CONTROL control = SE_DACL_AUTO_INHERITED | (inherited ? 0 : SE_DACL_PROTECTED);
    if (!::SetSecurityDescriptorControl(&d.sd, SE_DACL_AUTO_INHERITED | SE_DACL_PROTECTED, control))
        Check(::GetLastError(), "build the access list");
}

// The subkeys get the inherited list, depth first; a registry key's list is not carried
// down by setting it on the parent.
void SecureSubkeys(HKEY key, const std::string& path, const Dacl& inherited) {
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof name;
        const LONG r = ::RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_NO_MORE_ITEMS) return;
        Check(r, "list the subkeys of " + path);
        vantrel::RegKey sub;
        Check(::RegOpenKeyExA(key, name, 0, KEY_ENUMERATE_SUB_KEYS | READ_CONTROL | WRITE_DAC, sub.put()),
              "open " + path + "\\" + name);
        Check(::RegSetKeySecurity(sub.get(), DACL_SECURITY_INFORMATION,
                                  const_cast<SECURITY_DESCRIPTOR*>(&inherited.sd)),
              "set the access list of " + path + "\\" + name);
        SecureSubkeys(sub.get(), path + "\\" + name, inherited);
    }
}

void SecureKey() {
    Dacl top, below;
    BuildDacl(top, false);
    BuildDacl(below, true);
    vantrel::RegKey key;
    Check(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_ENUMERATE_SUB_KEYS | READ_CONTROL | WRITE_DAC,
                          key.put()),
          "open the settings key");
    Check(::RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, &top.sd), "set the settings key's access list");
    SecureSubkeys(key.get(), kProductKey, below);
}

}  // namespace

int main() {
    try {
        WriteDesignStates();
        SecureKey();
        return 0;
    } catch (const Failure& f) {
        char text[512] = "";
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(f.code),
                         0, text, sizeof text, nullptr);
        std::fprintf(stderr, "vtsettings: cannot %s (error %ld): %s\n", f.what.c_str(), f.code, text);
        return 1;
    }
}
