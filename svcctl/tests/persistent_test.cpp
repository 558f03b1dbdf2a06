// The component base, the error raising and the run-time binding. Computer names, the
// version query, system message texts and account lookups are checked against Wine; the
// network connection, the network-management listings and the security authority with
// doubles (Wine has no remote shares, servers or domains).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "binding.h"
#include "core/errors.h"
#include "core/object_list.h"
#include "nt_errors.h"
#include "nt_persistent.h"
#include "nt_service.h"

using namespace dovrin;
using binding::Group;
using binding::ScopedEntry;

TEST(Binding, PlatformAndTextHelpers) {
    EXPECT_TRUE(binding::IsWinNT());
    EXPECT_EQ(binding::LibraryFile(Group::Net), "netapi32.dll");
    EXPECT_EQ(binding::LibraryFile(Group::Service), "advapi32.dll");

    wchar_t wide[4];
    binding::CopyToSystemText("abcdef", wide, 4);
    EXPECT_EQ(std::wstring(wide), L"abc");
    EXPECT_EQ(binding::TextFromSystemBuffer(wide), "abc");
    binding::CopyToSystemText("", wide, 4);
    EXPECT_EQ(wide[0], 0);

    binding::LsaString abc = binding::MakeLsaString("abc");
    EXPECT_EQ(abc.value().Length, 6);
    EXPECT_EQ(abc.value().MaximumLength, 8);
    EXPECT_EQ(std::memcmp(abc.value().Buffer, L"abc", 8), 0);
    binding::LsaString empty("");
    EXPECT_EQ(empty.value().Length, 0);
    EXPECT_EQ(empty.value().MaximumLength, 0);
    EXPECT_EQ(empty.value().Buffer, nullptr);
}

TEST(Binding, OutsideTheNtFamilyEveryCallNamesRadmin32) {
    binding::Rebind(false);
    std::string text;
    try {
        binding::Entry(Group::Service, "OpenSCManagerA");
    } catch (const ComponentError&) {
        ADD_FAILURE() << "the load error is a plain error";
    } catch (const Error& e) {
        text = e.what();
    }
    binding::Rebind(true);
    EXPECT_EQ(text, "Cannot load library \"radmin32.dll\" or linked libraries");
    EXPECT_NO_THROW(binding::Entry(Group::Service, "OpenSCManagerA"));
    EXPECT_THROW(binding::Install(Group::Service, "NoSuchFunction", nullptr), Error);
}

namespace {
DWORD WINAPI ConvertStatus(NTSTATUS status) {
    EXPECT_EQ(status, LONG(0xC0000022));
    return ERROR_ACCESS_DENIED;
}
}  // namespace

TEST(ErrorRaising, SystemAndNetworkTexts) {
    std::string denied = SysErrorText(5);
    EXPECT_EQ(denied.rfind("5: ", 0), 0u);
    ASSERT_GT(denied.size(), 5u);
    EXPECT_EQ(denied.substr(denied.size() - 2), "\r\n");  // as the system formats it
    EXPECT_EQ(NetErrorText(2099), SysErrorText(2099));
    EXPECT_EQ(NetErrorText(2100), SysErrorText(2100));
    EXPECT_EQ(NetErrorText(2691), SysErrorText(2691));
    EXPECT_EQ(NetErrorText(2137), "2137: Unknown error");
    EXPECT_EQ(NetErrorText(2516), "2516:  Connecting to the Remoteboot server...");
    EXPECT_EQ(NetErrorText(2102), "2102:  The workstation driver is not installed.");

    ::SetLastError(0);
    EXPECT_NO_THROW(RaiseLastNTError());
    EXPECT_NO_THROW(NetCheck(0));
    EXPECT_NO_THROW(LsaCheck(0));
    try {
        NetCheck(2221);
        FAIL() << "no error";
    } catch (const ComponentError& e) {
        EXPECT_STREQ(e.what(), "2221:  The user name could not be found.");
        EXPECT_EQ(e.Status(), 0x800407D0u);
    }
    ScopedEntry convert(Group::Security, "LsaNtStatusToWinError", &ConvertStatus);
    try {
        LsaCheck(LONG(0xC0000022));
        FAIL() << "no error";
    } catch (const ComponentError& e) {
        EXPECT_EQ(std::string(e.what()), SysErrorText(5));
    }
}

namespace {

struct Connections {
    std::vector<std::string> calls;
    DWORD first_answer = 0;
} connections;

DWORD WINAPI FakeAdd(LPNETRESOURCEA resource, LPCSTR password, LPCSTR user, DWORD flags) {
    EXPECT_EQ(resource->dwType, 0u);
    EXPECT_STREQ(resource->lpLocalName, "");
    connections.calls.push_back(std::string("add ") + resource->lpRemoteName + " " + user + "/" +
                                password);
    DWORD answer = connections.first_answer;
    connections.first_answer = 0;
    return answer;
}

DWORD WINAPI FakeCancel(LPCSTR name, DWORD flags, BOOL force) {
    connections.calls.push_back(std::string("cancel ") + name);
    return 0;
}

struct FakeConnections {
    FakeConnections() {
        connections = {};
        saved = dovrin::Connections();
        dovrin::Connections() = {&FakeAdd, &FakeCancel};
    }
    ~FakeConnections() { dovrin::Connections() = saved; }
    ConnectionCalls saved;
};

std::string LocalName() {
    char name[256];
    DWORD size = sizeof name;
    ::GetComputerNameA(name, &size);
    return name;
}

}  // namespace

TEST(Connection, WhenTheMachineNeedsOneAndTheCredentialConflictRetry) {
    FakeConnections fake;
    TNTPersistent base;
    EXPECT_EQ(base.GetComputerName(), LocalName());

    base.LogonAs().user_name = "vtuser";
    base.SetMachineName(LocalName());  // the local computer: no connection
    base.SetMachineName("");
    EXPECT_TRUE(connections.calls.empty());

    base.SetMachineName("\\\\" + LocalName());  // written with backslashes it is not local
    ASSERT_EQ(connections.calls.size(), 1u);
    EXPECT_EQ(connections.calls[0], "add \\\\" + LocalName() + "\\IPC$ vtuser/");

    connections.calls.clear();
    base.LogonAs() = TLogonAs{"", "secret"};
    connections.first_answer = ERROR_SESSION_CREDENTIAL_CONFLICT;
    base.SetMachineName("\\\\VtRemote");  // the old connection goes, the new one is retried
    EXPECT_EQ(connections.calls,
              (std::vector<std::string>{"cancel \\\\" + LocalName() + "\\IPC$",
                                        "add \\\\VtRemote\\IPC$ /secret",
                                        "cancel \\\\VtRemote\\IPC$",
                                        "add \\\\VtRemote\\IPC$ /secret"}));

    connections.calls.clear();
    base.SetMachineName("\\\\VtRemote");  // the same name: nothing
    base.LogonAs() = TLogonAs{" ", " "};  // blank credentials need no connection
    base.SetMachineName("\\\\VtOther");
    EXPECT_TRUE(connections.calls.empty());
}

TEST(Connection, NoneWhileReadingOneWhenLoaded) {
    FakeConnections fake;
    TNTService svc;
    svc.BeginLoading();
    svc.LogonAs() = TLogonAs{"vtuser", "pw"};
    svc.SetMachineName("\\\\VtRemote");
    svc.EndReading();
    EXPECT_TRUE(connections.calls.empty());
    svc.Loaded();
    EXPECT_EQ(connections.calls, (std::vector<std::string>{"add \\\\VtRemote\\IPC$ vtuser/pw"}));
}

TEST(Control, KeepsItsSizeAndHasAWindowOnlyWhenActivated) {
    TNTService svc;
    EXPECT_EQ(svc.WindowHandle(), nullptr);
    svc.SetBounds(10, 20, 100, 50);
    RECT r = svc.Bounds();
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right - r.left, 28);
    EXPECT_EQ(r.bottom - r.top, 28);

    HWND parent = ::CreateWindowExA(0, "STATIC", "vt parent", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                    nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    svc.CreateWindowHandle(parent);
    ASSERT_NE(svc.WindowHandle(), nullptr);
    ::MoveWindow(svc.WindowHandle(), 5, 6, 200, 100, TRUE);
    RECT client;
    ::GetClientRect(svc.WindowHandle(), &client);
    EXPECT_EQ(client.right, 28);
    EXPECT_EQ(client.bottom, 28);
    ::UpdateWindow(svc.WindowHandle());  // paints without a bitmap resource
    svc.DestroyWindowHandle();
    EXPECT_EQ(svc.WindowHandle(), nullptr);
    ::DestroyWindow(parent);
}

namespace {

// Network-management doubles: the answers are scripted per call.
struct NetScript {
    std::vector<std::vector<std::wstring>> pages;  // names per call
    std::vector<DWORD> statuses;
    DWORD total = 0;
    int calls = 0;
    std::vector<std::vector<wchar_t>> storage;
} script;

template <class Record>
NET_API_STATUS Page(LPBYTE* buffer, LPDWORD read, LPDWORD total, LPWSTR Record::*field) {
    std::size_t call = std::size_t(script.calls++);
    *read = 0;
    *total = script.total;
    *buffer = nullptr;
    if (call < script.pages.size()) {
        auto records = static_cast<Record*>(std::calloc(script.pages[call].size() + 1, sizeof(Record)));
        for (std::size_t i = 0; i < script.pages[call].size(); ++i) {
            script.storage.emplace_back(script.pages[call][i].begin(), script.pages[call][i].end());
            script.storage.back().push_back(0);
            records[i].*field = script.storage.back().data();
        }
        *read = DWORD(script.pages[call].size());
        *buffer = reinterpret_cast<LPBYTE>(records);
    }
    return call < script.statuses.size() ? script.statuses[call] : 38;
}

int frees = 0;
NET_API_STATUS WINAPI FreeRecords(LPVOID p) {
    ++frees;
    std::free(p);  // every double allocates with calloc
    return 0;
}

NET_API_STATUS WINAPI GroupUsers(LPCWSTR, LPCWSTR group, DWORD, LPBYTE* b, DWORD max, LPDWORD r,
                                 LPDWORD t, PDWORD_PTR) {
    EXPECT_EQ(max, 8192u);
    return Page(b, r, t, &GROUP_USERS_INFO_0::grui0_name);
}
NET_API_STATUS WINAPI GlobalGroups(LPCWSTR, DWORD, LPBYTE* b, DWORD, LPDWORD r, LPDWORD t, PDWORD_PTR) {
    return Page(b, r, t, &GROUP_INFO_0::grpi0_name);
}
NET_API_STATUS WINAPI Users(LPCWSTR, DWORD, DWORD filter, LPBYTE* b, DWORD, LPDWORD r, LPDWORD t,
                            LPDWORD) {
    EXPECT_EQ(filter, 0x2u | 0x8u);
    return Page(b, r, t, &USER_INFO_0::usri0_name);
}
NET_API_STATUS WINAPI Servers(LPCWSTR, DWORD level, LPBYTE* b, DWORD, LPDWORD r, LPDWORD t, DWORD,
                              LPCWSTR, LPDWORD resume) {
    EXPECT_EQ(level, 100u);
    NET_API_STATUS status = Page(b, r, t, &SERVER_INFO_100::sv100_name);
    *resume = script.calls < int(script.pages.size()) ? 1 : 0;
    return status;
}

struct Member {
    const wchar_t* name;
    SID_NAME_USE use;
};
std::vector<Member> members;
NET_API_STATUS WINAPI LocalGroupMembers(LPCWSTR, LPCWSTR, DWORD level, LPBYTE* b, DWORD, LPDWORD r,
                                        LPDWORD t, PDWORD_PTR) {
    EXPECT_EQ(level, 2u);
    auto records = static_cast<LOCALGROUP_MEMBERS_INFO_2*>(
        std::calloc(members.size() + 1, sizeof(LOCALGROUP_MEMBERS_INFO_2)));
    for (std::size_t i = 0; i < members.size(); ++i) {
        records[i].lgrmi2_sidusage = members[i].use;
        records[i].lgrmi2_domainandname = const_cast<LPWSTR>(members[i].name);
    }
    *b = reinterpret_cast<LPBYTE>(records);
    *r = *t = DWORD(members.size());
    return 0;
}

std::wstring asked_dc;
NET_API_STATUS WINAPI AnyDC(LPCWSTR server, LPCWSTR domain, LPBYTE* b) {
    EXPECT_EQ(server, nullptr);
    asked_dc = domain;
    static wchar_t name[] = L"\\\\VtDC";
    auto copy = static_cast<wchar_t*>(std::malloc(sizeof name));
    std::memcpy(copy, name, sizeof name);
    *b = reinterpret_cast<LPBYTE>(copy);
    return 0;
}

struct DesignMode : AutomationHost {
    bool AmbientDesignMode() override { return true; }
};

struct NetDoubles {
    NetDoubles() {
        script = NetScript{};
        frees = 0;
    }
    ScopedEntry free{Group::Net, "NetApiBufferFree", &FreeRecords};
    ScopedEntry group_users{Group::Net, "NetGroupGetUsers", &GroupUsers};
    ScopedEntry groups{Group::Net, "NetGroupEnum", &GlobalGroups};
    ScopedEntry users{Group::Net, "NetUserEnum", &Users};
    ScopedEntry servers{Group::Net, "NetServerEnum", &Servers};
    ScopedEntry local_members{Group::Net, "NetLocalGroupGetMembers", &LocalGroupMembers};
    ScopedEntry any_dc{Group::Net, "NetGetAnyDCName", &AnyDC};
};

}  // namespace

TEST(Listings, LoopsCollectEveryPageUntilTheTotal) {
    NetDoubles net;
    TNTPersistent base;
    script.pages = {{L"alice", L"bob"}, {L"carol"}};
    script.statuses = {ERROR_MORE_DATA, 0};
    script.total = 3;
    EXPECT_EQ(base.GetGroupUsers("", "VtGroup").Items(), (std::vector<std::string>{"alice", "bob", "carol"}));
    EXPECT_EQ(script.calls, 2);
    EXPECT_EQ(frees, 2);

    script = NetScript{};
    script.statuses = {0};
    EXPECT_EQ(base.GetGroupUsers("", "VtEmpty").Count(), 0);  // an empty global group

    script = NetScript{};
    script.pages = {{L"srv1"}, {L"srv2"}};
    script.statuses = {ERROR_MORE_DATA, 0};
    EXPECT_EQ(base.GetServers("").Items(), (std::vector<std::string>{"\\\\srv1", "\\\\srv2"}));
}

TEST(Listings, FailuresRaiseInRunModeOnlyWithTheNetworkText) {
    NetDoubles net;
    TNTPersistent base;
    script.pages = {{L"alice"}};
    script.statuses = {ERROR_MORE_DATA, 2221};
    script.total = 5;
    try {
        base.GetGroupUsers("", "VtGroup");
        FAIL() << "no error";
    } catch (const ComponentError& e) {
        EXPECT_STREQ(e.what(), "2221:  The user name could not be found.");
    }
    DesignMode design;
    base.SetAutomationHost(&design);
    EXPECT_FALSE(base.IsRunMode());
    script.calls = 0;
    EXPECT_EQ(base.GetGroupUsers("", "VtGroup").Items(), (std::vector<std::string>{"alice"}));
}

TEST(Listings, AccountsSkipTheLoneNoneGroupAndExpandGlobalGroups) {
    NetDoubles net;
    TNTPersistent base;
    script.pages = {{L"None"}};
    script.statuses = {0};
    script.total = 1;
    EXPECT_EQ(base.GetAccounts("", 0x2).Count(), 0);
    script = NetScript{};
    script.pages = {{L"vtuser"}};
    script.statuses = {0};
    script.total = 1;
    EXPECT_EQ(base.GetAccounts("", 0x4).Items(), (std::vector<std::string>{"vtuser"}));

    members = {{L"VTDOM\\Staff", SidTypeGroup}, {L"VTDOM\\zed", SidTypeUser}, {L"VTDOM\\amy", SidTypeUser}};
    EXPECT_EQ(base.GetLocalGroupMembers("", "Users", 0x2).Items(),
              (std::vector<std::string>{"VTDOM\\Staff"}));
    EXPECT_EQ(base.GetLocalGroupMembers("", "Users", 0x1).Items(),
              (std::vector<std::string>{"VTDOM\\amy", "VTDOM\\zed"}));
    // Expanding asks the domain controller of the group's domain (a double: Wine has none).
    members = {{L"VTDOM\\Staff", SidTypeGroup}, {L"VTDOM\\amy", SidTypeUser}};
    script = NetScript{};
    script.pages = {{L"zed", L"amy", L"OTHER\\amy"}};
    script.statuses = {0};
    script.total = 3;
    EXPECT_EQ(base.GetLocalGroupMembers("", "Users", 0x80000002).Items(),
              (std::vector<std::string>{"OTHER\\amy", "VTDOM\\amy", "VTDOM\\zed"}));
    EXPECT_EQ(asked_dc, L"VTDOM");
}

namespace {
int lookups = 0;
decltype(&::LookupAccountSidA) real_lookup;
BOOL WINAPI CountingLookup(LPCSTR system, PSID sid, LPSTR account, LPDWORD account_size,
                           LPSTR domain, LPDWORD domain_size, PSID_NAME_USE use) {
    ++lookups;
    EXPECT_EQ(*account_size, 128u);
    return real_lookup(system, sid, account, account_size, domain, domain_size, use);
}
}  // namespace

TEST(AccountNames, LookupsAreCachedWhateverTheSystem) {
    real_lookup = binding::Bound<decltype(::LookupAccountSidA)>(Group::Account, "LookupAccountSidA");
    ScopedEntry counting(Group::Account, "LookupAccountSidA", &CountingLookup);  // forwards to Wine
    TNTPersistent base;
    lookups = 0;
    std::string everyone = base.GetEveryoneName("");
    EXPECT_EQ(everyone, "Everyone");
    EXPECT_EQ(base.GetEveryoneName("\\\\VtElsewhere"), everyone);  // from the cache
    EXPECT_LE(lookups, 1);

    BYTE local_system[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    std::string account, domain;
    ASSERT_TRUE(LookupSidCached("", local_system, account, domain));
    EXPECT_EQ(account, "SYSTEM");
    EXPECT_EQ(domain, "");  // S-1-5-18 shows no domain
    BYTE unknown[] = {1, 2, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0, 99, 0, 0, 0};
    EXPECT_FALSE(LookupSidCached("", unknown, account, domain));
    EXPECT_EQ(LocalSidAccountName(unknown), "");
    EXPECT_EQ(GlobalSidStore().IndexOfSid(unknown, sizeof unknown), -1);  // failures not cached
}

TEST(AccountNames, WellKnownAccountsAreListedFromTheLocalComputer) {
    TNTPersistent base;
    StringList accounts = base.GetAccounts("\\\\VtElsewhere", 0x8);
    EXPECT_GE(accounts.IndexOf("Everyone"), 0);
    EXPECT_GE(accounts.IndexOf("SYSTEM"), 0);
}

namespace {
LSA_HANDLE const kPolicy = reinterpret_cast<LSA_HANDLE>(0x7100);
int lsa_closes = 0, lsa_frees = 0;
std::wstring policy_system;
POLICY_PRIMARY_DOMAIN_INFO domain_info{{10, 12, const_cast<PWSTR>(L"VTDOM")}, nullptr};

NET_API_STATUS WINAPI PrimaryDC(LPCWSTR server, LPCWSTR domain, LPBYTE* b) {
    EXPECT_EQ(server, nullptr);
    EXPECT_EQ(domain, nullptr);
    static const wchar_t name[] = L"\\\\VtPDC";
    *b = static_cast<LPBYTE>(std::malloc(sizeof name));
    std::memcpy(*b, name, sizeof name);
    return 0;
}
NTSTATUS WINAPI OpenPolicy(PLSA_UNICODE_STRING system, PLSA_OBJECT_ATTRIBUTES, ACCESS_MASK access,
                           PLSA_HANDLE policy) {
    EXPECT_EQ(access, 1u);
    policy_system.assign(system->Buffer, system->Length / 2);
    *policy = kPolicy;
    return 0;
}
NTSTATUS WINAPI QueryPolicy(LSA_HANDLE policy, POLICY_INFORMATION_CLASS info_class, PVOID* info) {
    EXPECT_EQ(policy, kPolicy);
    EXPECT_EQ(int(info_class), 3);
    *info = &domain_info;
    return 0;
}
NTSTATUS WINAPI QueryPolicyFails(LSA_HANDLE, POLICY_INFORMATION_CLASS, PVOID* info) {
    *info = nullptr;
    return LONG(0xC0000022);
}
NTSTATUS WINAPI ClosePolicy(LSA_HANDLE) { return ++lsa_closes, 0; }
NTSTATUS WINAPI FreeLsa(PVOID) { return ++lsa_frees, 0; }
}  // namespace

TEST(Directory, PrimaryDomainThroughThePrimaryDomainController) {
    // Doubles: Wine has no domain controller and no domain policy.
    ScopedEntry free(Group::Net, "NetApiBufferFree", &FreeRecords);
    ScopedEntry dc(Group::Net, "NetGetDCName", &PrimaryDC);
    ScopedEntry open(Group::Security, "LsaOpenPolicy", &OpenPolicy);
    ScopedEntry query(Group::Security, "LsaQueryInformationPolicy", &QueryPolicy);
    ScopedEntry close(Group::Security, "LsaClose", &ClosePolicy);
    ScopedEntry release(Group::Security, "LsaFreeMemory", &FreeLsa);
    TNTPersistent base;
    EXPECT_EQ(base.GetPrimaryDCName(), "\\\\VtPDC");
    EXPECT_EQ(base.GetPrimaryDomainName(), "VTDOM");
    EXPECT_EQ(policy_system, L"\\\\VtPDC");
    EXPECT_EQ(lsa_closes, 1);
    EXPECT_EQ(lsa_frees, 1);

    ScopedEntry fails(Group::Security, "LsaQueryInformationPolicy", &QueryPolicyFails);
    ScopedEntry convert(Group::Security, "LsaNtStatusToWinError", &ConvertStatus);
    EXPECT_THROW(base.GetPrimaryDomainName(), ComponentError);
    EXPECT_EQ(lsa_closes, 2);  // the policy is closed on failure too
}

TEST(Directory, WineHasNoDomainControllerNorServerList) {
    // Checked against Wine: the failure paths of the calls that need a network. The
    // domain-controller lookup raises in design mode too; the server list only in run mode.
    TNTPersistent base;
    DesignMode design;
    for (AutomationHost* host : {static_cast<AutomationHost*>(nullptr), static_cast<AutomationHost*>(&design)}) {
        base.SetAutomationHost(host);
        try {
            base.GetPrimaryDCName();
            ADD_FAILURE() << "a domain controller answered";
        } catch (const ComponentError& e) {
            EXPECT_STREQ(e.what(), "2453:  Could not find domain controller for this domain.");
        }
    }
    base.SetAutomationHost(nullptr);
    try {
        base.GetServers("");
        ADD_FAILURE() << "servers listed";
    } catch (const ComponentError& e) {
        // Wine has no text for this code: the message is the code and ": " alone.
        EXPECT_EQ(std::string(e.what()).rfind("6118: ", 0), 0u) << e.what();
    }
    base.SetAutomationHost(&design);
    EXPECT_EQ(base.GetServers("").Count(), 0);
}
