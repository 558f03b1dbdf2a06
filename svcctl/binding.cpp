#include "binding.h"

#include <cstring>
#include <mutex>

#include "core/errors.h"
#include "nt_errors.h"

namespace dovrin::binding {
namespace {

const char* const kSecurityNames[] = {
    "GetFileSecurityA", "MakeAbsoluteSD", "GetSecurityDescriptorOwner",
    "SetSecurityDescriptorOwner", "SetFileSecurityA", "GetSecurityDescriptorDacl", "GetLengthSid",
    "InitializeAcl", "AddAccessDeniedAce", "AddAccessAllowedAce", "AddAuditAccessAce", "GetAce",
    "SetSecurityDescriptorDacl", "GetAclInformation", "SetSecurityDescriptorSacl",
    "GetSecurityDescriptorSacl", "MakeSelfRelativeSD", "InitializeSecurityDescriptor",
    "LsaOpenPolicy", "LsaEnumerateTrustedDomains", "LsaClose", "LsaFreeMemory",
    "LsaQueryInformationPolicy", "LsaNtStatusToWinError", "LsaLookupSids",
    "LsaEnumerateAccountsWithUserRight", "LsaEnumerateAccountRights",
    "LsaEnumeratePrivilegesOfAccount", "LsaAddAccountRights", "LsaRemoveAccountRights",
    "RegGetKeySecurity", "RegSetKeySecurity", "LookupPrivilegeDisplayNameW"};

const char* const kNetNames[] = {
    "NetServerEnum", "NetApiBufferFree", "NetUserEnum", "NetUserGetInfo",
    "NetQueryDisplayInformation", "NetGetDisplayInformationIndex", "NetGroupEnum",
    "NetLocalGroupEnum", "NetUserGetGroups", "NetUserGetLocalGroups", "NetLocalGroupAddMembers",
    "NetLocalGroupDelMembers", "NetGroupAddUser", "NetGroupDelUser", "NetLocalGroupAdd",
    "NetLocalGroupDel", "NetGroupAdd", "NetGroupDel", "NetUserSetInfo", "NetUserAdd",
    "NetUserDel", "NetGroupGetUsers", "NetLocalGroupGetMembers", "NetLocalGroupSetMembers",
    "NetGroupSetUsers", "NetGroupGetInfo", "NetGroupSetInfo", "NetLocalGroupGetInfo",
    "NetLocalGroupSetInfo", "NetShareGetInfo", "NetShareSetInfo", "NetServerGetInfo",
    "NetSessionEnum", "NetSessionDel", "NetFileEnum", "NetFileClose", "NetShareAdd",
    "NetShareDel", "NetShareEnum", "NetGetAnyDCName", "NetGetDCName"};

const char* const kAccountNames[] = {
    "LookupAccountNameA", "LookupAccountSidA", "LookupPrivilegeValueA", "LookupPrivilegeNameA",
    "EqualSid", "AllocateAndInitializeSid", "BackupEventLogA", "ClearEventLogA", "CloseEventLog",
    "DeregisterEventSource", "GetNumberOfEventLogRecords", "GetOldestEventLogRecord",
    "NotifyChangeEventLog", "OpenBackupEventLogA", "OpenEventLogA", "ReadEventLogA",
    "RegisterEventSourceA", "ReportEventA"};

const char* const kServiceNames[] = {
    "ChangeServiceConfigA", "CloseServiceHandle", "ControlService", "CreateServiceA",
    "DeleteService", "EnumDependentServicesA", "EnumServicesStatusA", "GetServiceDisplayNameA",
    "GetServiceKeyNameA", "LockServiceDatabase", "NotifyBootConfigStatus", "OpenSCManagerA",
    "OpenServiceA", "QueryServiceConfigA", "QueryServiceLockStatusA", "QueryServiceStatus",
    "StartServiceA", "UnlockServiceDatabase", "RegConnectRegistryA", "RegOpenKeyExA",
    "RegCloseKey", "RegEnumKeyExA", "RegQueryValueExA"};

struct GroupTable {
    const char* nt_file;
    const char* const* names;
    std::size_t count;
    bool net_names;  // the byte-text names end in "A" outside the NT family
    std::string file;
    std::vector<FARPROC> slots;
};

template <std::size_t N>
GroupTable MakeGroup(const char* nt_file, const char* const (&names)[N], bool net = false) {
    return GroupTable{nt_file, names, N, net, std::string(), std::vector<FARPROC>(N, nullptr)};
}

struct Tables {
    GroupTable groups[4] = {MakeGroup("advapi32.dll", kSecurityNames),
                            MakeGroup("netapi32.dll", kNetNames, true),
                            MakeGroup("advapi32.dll", kAccountNames),
                            MakeGroup("advapi32.dll", kServiceNames)};
};

void BindGroup(GroupTable& g, bool win_nt) {
    g.file = win_nt ? g.nt_file : "radmin32.dll";
    std::fill(g.slots.begin(), g.slots.end(), nullptr);
    // The handle is not kept: the library stays loaded for the life of the process.
    HMODULE module = ::LoadLibraryA(g.file.c_str());
    if (!module) return;
    for (std::size_t i = 0; i < g.count; ++i) {
        std::string name = g.names[i];
        if (g.net_names && !win_nt) name += "A";
        g.slots[i] = ::GetProcAddress(module, name.c_str());
    }
}

void BindAll(Tables& t, bool win_nt) {
    // The order in which the library's initialisation reaches the groups.
    for (Group g : {Group::Account, Group::Service, Group::Net, Group::Security})
        BindGroup(t.groups[int(g)], win_nt);
}

Tables& TheTables() {
    static Tables* tables = [] {
        auto t = new Tables;  // lives to the end of the process, like the bound libraries
        BindAll(*t, IsWinNT());
        return t;
    }();
    return *tables;
}

std::size_t SlotIndex(const GroupTable& g, const char* name) {
    for (std::size_t i = 0; i < g.count; ++i)
        if (std::strcmp(g.names[i], name) == 0) return i;
    throw Error(std::string("No bound entry point is named ") + name);
}

}  // namespace

std::string LibraryFile(Group group) { return TheTables().groups[int(group)].file; }

FARPROC Entry(Group group, const char* name) {
    GroupTable& g = TheTables().groups[int(group)];
    FARPROC p = g.slots[SlotIndex(g, name)];
    if (!p) throw Error("Cannot load library \"" + g.file + "\" or linked libraries");
    return p;
}

void Rebind(bool win_nt) { BindAll(TheTables(), win_nt); }

FARPROC Install(Group group, const char* name, FARPROC entry) {
    GroupTable& g = TheTables().groups[int(group)];
    FARPROC& slot = g.slots[SlotIndex(g, name)];
    FARPROC previous = slot;
    slot = entry;
    return previous;
}

bool IsWinNT() {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;  // 148 bytes
    ::SetLastError(0);
    if (!::GetVersionExA(&info)) RaiseLastNTError();
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

void CopyToSystemText(const std::string& text, void* buffer, std::size_t size) {
    if (size == 0) return;
    if (IsWinNT()) {
        auto out = static_cast<wchar_t*>(buffer);
        int n = text.empty() ? 0
                             : ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()),
                                                     out, int(size - 1));
        if (n <= 0 && !text.empty()) {
            // Too long for the buffer: convert what fits, character by character.
            std::vector<wchar_t> all(text.size() + 1);
            n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), all.data(),
                                      int(all.size()));
            n = std::max(0, std::min(n, int(size - 1)));
            std::memcpy(out, all.data(), std::size_t(n) * sizeof(wchar_t));
        }
        out[n] = 0;
    } else {
        // At most size - 1 bytes, so that the NUL stays inside the buffer.
        std::size_t n = std::min(text.size(), size - 1);
        std::memcpy(buffer, text.data(), n);
        static_cast<char*>(buffer)[n] = 0;
    }
}

std::string TextFromSystemBuffer(const void* buffer) {
    if (!buffer) return {};
    if (!IsWinNT()) return static_cast<const char*>(buffer);
    auto wide = static_cast<const wchar_t*>(buffer);
    int length = int(std::wcslen(wide));
    if (length == 0) return {};
    int n = ::WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string text(std::size_t(std::max(n, 0)), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide, length, text.data(), n, nullptr, nullptr);
    return text;
}

LsaString::LsaString(const std::string& text) {
    if (text.empty()) return;  // no buffer, both lengths 0
    int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    storage_.assign(std::size_t(n) + 1, 0);
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), storage_.data(), n);
    value_.Buffer = storage_.data();
    value_.Length = USHORT(2 * n);
    value_.MaximumLength = USHORT(2 * n + 2);
}

}  // namespace dovrin::binding
