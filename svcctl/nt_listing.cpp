// Listings of servers, groups, users and accounts, and the account-name lookups.
#include <cstring>
#include <functional>
#include <memory>

#include "binding.h"
#include "core/object_list.h"
#include "nt_errors.h"
#include "nt_persistent.h"

namespace dovrin {
namespace {

constexpr DWORD kMoreData = ERROR_MORE_DATA;    // 234
constexpr DWORD kEndOfData = ERROR_HANDLE_EOF;  // 38

// A name in the form the network-management functions take on this platform.
class SystemName {
public:
    explicit SystemName(const std::string& text) {
        binding::CopyToSystemText(text, buffer_, 256);
    }
    LPCWSTR get() const { return reinterpret_cast<LPCWSTR>(buffer_); }

private:
    alignas(wchar_t) char buffer_[512];
};

// A buffer that a network-management call allocated.
class NetBuffer {
public:
    ~NetBuffer() { reset(); }
    LPBYTE* put() { reset(); return &p_; }
    LPBYTE get() const { return p_; }
    void reset() {
        if (p_) sys::NetApiBufferFree(p_);
        p_ = nullptr;
    }

private:
    LPBYTE p_ = nullptr;
};

// The name field of the i-th entry of an array of records.
template <class Record, class Field>
std::string EntryName(LPBYTE buffer, DWORD i, Field Record::*field) {
    return binding::TextFromSystemBuffer(reinterpret_cast<Record*>(buffer)[i].*field);
}

// The loop of the listings that know their total: status 38 ends it, the first call's
// total counts, other failures raise in run mode and end the loop otherwise. It also ends
// when a call reports no entries or reports that nothing more is left, so that a system
// that never reaches its announced total cannot keep it spinning.
void TotalLoop(bool run_mode,
               const std::function<DWORD(LPBYTE*, DWORD*, DWORD*)>& call,
               const std::function<void(LPBYTE, DWORD)>& add,
               const std::function<DWORD()>& received) {
    bool first = true;
    DWORD total = 0;
    for (;;) {
        NetBuffer buffer;
        DWORD read = 0, entries = 0;
        DWORD status = call(buffer.put(), &read, &entries);
        if (status == kEndOfData) break;
        if (first) {
            total = entries;
            first = false;
        }
        if (status != 0 && status != kMoreData) {
            if (run_mode) NetCheck(status);
            break;
        }
        if (read == 0) break;
        if (buffer.get()) add(buffer.get(), read);
        if (status == 0 || received() >= total) break;
    }
}

// S-1-5-18, whose domain is not shown.
const BYTE kLocalSystemSid[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};


struct SidDeleter {
    void operator()(void* sid) const { ::FreeSid(sid); }
};

PSID MakeWellKnownSid(BYTE authority, DWORD sub_authority, BYTE* storage) {
    // Revision 1, one sub-authority, the authority in the last of six bytes.
    std::memset(storage, 0, 12);
    storage[0] = 1;
    storage[1] = 1;
    storage[7] = authority;
    std::memcpy(storage + 8, &sub_authority, 4);
    return storage;
}

}  // namespace

DWORD SidUseBit(int sid_use) {
    switch (sid_use) {
        case 1: return 0x1;
        case 2: return 0x2;
        case 3: return 0x4;
        case 4: return 0x8;
        case 5: return 0x10;
        case 6: return 0x20;
        case 7: return 0x40;
        default: return 0x80;
    }
}

namespace {
constexpr DWORD kUserFilterBits[] = {0x1, 0x2, 0x8, 0x10, 0x20};
}

DWORD UserFilterToWin32(unsigned filter_set) {
    DWORD bits = 0;
    for (unsigned i = 0; i < 5; ++i)
        if (filter_set & (1u << i)) bits |= kUserFilterBits[i];
    return bits;
}

unsigned UserFilterFromWin32(DWORD filter) {
    unsigned set = 0;
    for (unsigned i = 0; i < 5; ++i)
        if (filter & kUserFilterBits[i]) set |= 1u << i;
    return set;
}

std::string TNTPersistent::GetPrimaryDCName() {
    NetBuffer buffer;
    NetCheck(sys::NetGetDCName(nullptr, nullptr, buffer.put()));
    return binding::TextFromSystemBuffer(buffer.get());
}

std::string TNTPersistent::GetDCName(const std::string& domain) {
    SystemName name(domain);
    NetBuffer buffer;
    NetCheck(sys::NetGetAnyDCName(nullptr, name.get(), buffer.put()));
    return binding::TextFromSystemBuffer(buffer.get());
}

std::string TNTPersistent::GetPrimaryDomainName() {
    binding::LsaString system(GetPrimaryDCName());
    LSA_OBJECT_ATTRIBUTES attributes;
    std::memset(&attributes, 0, sizeof attributes);
    LSA_HANDLE policy = nullptr;
    LsaCheck(sys::LsaOpenPolicy(system.get(), &attributes, POLICY_VIEW_LOCAL_INFORMATION, &policy));
    struct Close {
        LSA_HANDLE h;
        ~Close() { sys::LsaClose(h); }
    } close{policy};
    PVOID info = nullptr;
    LsaCheck(sys::LsaQueryInformationPolicy(policy, PolicyPrimaryDomainInformation, &info));
    struct Free {
        PVOID p;
        ~Free() { if (p) sys::LsaFreeMemory(p); }
    } free_info{info};
    auto domain = static_cast<POLICY_PRIMARY_DOMAIN_INFO*>(info);
    if (!domain || !domain->Name.Buffer) return {};
    std::wstring wide(domain->Name.Buffer, domain->Name.Length / sizeof(wchar_t));
    int n = ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), int(wide.size()), nullptr, 0, nullptr,
                                  nullptr);
    std::string text(std::size_t(std::max(n, 0)), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), int(wide.size()), text.data(), n, nullptr,
                          nullptr);
    return text;
}

StringList TNTPersistent::GetServerList(const std::string& server, DWORD type_mask) {
    StringList list;
    SystemName name(server);
    DWORD resume = 0;
    const bool run_mode = IsRunMode();
    do {
        NetBuffer buffer;
        DWORD read = 0, total = 0;
        DWORD status = sys::NetServerEnum(name.get(), 100, buffer.put(), 0x10000, &read, &total,
                                          type_mask, nullptr, &resume);
        if (status != 0 && status != kMoreData && run_mode) NetCheck(status);
        if (read == 0 || !buffer.get()) break;
        for (DWORD i = 0; i < read; ++i)
            list.Add(EntryName(buffer.get(), i, &SERVER_INFO_100::sv100_name));
        // A failure in design mode keeps what that call reported, then stops.
        if (status != 0 && status != kMoreData) break;
    } while (resume != 0);
    return list;
}

StringList TNTPersistent::GetServers(const std::string& server) {
    StringList names = GetServerList(server, 0xFFFFFFFF);
    StringList list;
    for (const auto& n : names.Items()) list.Add("\\\\" + n);
    return list;
}

StringList TNTPersistent::GetLocalGroups(const std::string& server) {
    StringList list;
    if (!binding::IsWinNT()) return list;
    SystemName name(server);
    DWORD_PTR resume = 0;
    TotalLoop(
        IsRunMode(),
        [&](LPBYTE* b, DWORD* r, DWORD* t) {
            return sys::NetLocalGroupEnum(name.get(), 0, b, 0x10000, r, t, &resume);
        },
        [&](LPBYTE b, DWORD n) {
            for (DWORD i = 0; i < n; ++i)
                list.Add(EntryName(b, i, &LOCALGROUP_INFO_0::lgrpi0_name));
        },
        [&] { return DWORD(list.Count()); });
    return list;
}

StringList TNTPersistent::GetGlobalGroups(const std::string& server) {
    StringList list;
    SystemName name(server);
    DWORD_PTR resume = 0;
    TotalLoop(
        IsRunMode(),
        [&](LPBYTE* b, DWORD* r, DWORD* t) {
            return sys::NetGroupEnum(name.get(), 0, b, 0x10000, r, t, &resume);
        },
        [&](LPBYTE b, DWORD n) {
            for (DWORD i = 0; i < n; ++i) list.Add(EntryName(b, i, &GROUP_INFO_0::grpi0_name));
        },
        [&] { return DWORD(list.Count()); });
    return list;
}

StringList TNTPersistent::GetUsers(const std::string& server, unsigned filter_set) {
    StringList list;
    SystemName name(server);
    DWORD resume = 0;
    const DWORD filter = UserFilterToWin32(filter_set);
    TotalLoop(
        IsRunMode(),
        [&](LPBYTE* b, DWORD* r, DWORD* t) {
            return sys::NetUserEnum(name.get(), 0, filter, b, 0x10000, r, t, &resume);
        },
        [&](LPBYTE b, DWORD n) {
            for (DWORD i = 0; i < n; ++i) list.Add(EntryName(b, i, &USER_INFO_0::usri0_name));
        },
        [&] { return DWORD(list.Count()); });
    return list;
}

StringList TNTPersistent::GetGroupUsers(const std::string& server, const std::string& group) {
    StringList list;
    SystemName name(server), group_name(group);
    DWORD_PTR resume = 0;
    TotalLoop(
        IsRunMode(),
        [&](LPBYTE* b, DWORD* r, DWORD* t) {
            return sys::NetGroupGetUsers(name.get(), group_name.get(), 0, b, 8192, r, t, &resume);
        },
        [&](LPBYTE b, DWORD n) {
            for (DWORD i = 0; i < n; ++i)
                list.Add(EntryName(b, i, &GROUP_USERS_INFO_0::grui0_name));
        },
        [&] { return DWORD(list.Count()); });
    return list;
}

StringList TNTPersistent::GetLocalGroupMembers(const std::string& server, const std::string& group,
                                               DWORD mask) {
    StringList list;
    list.SetSorted(true);
    SystemName name(server), group_name(group);
    DWORD_PTR resume = 0;
    DWORD received = 0;
    TotalLoop(
        IsRunMode(),
        [&](LPBYTE* b, DWORD* r, DWORD* t) {
            return sys::NetLocalGroupGetMembers(name.get(), group_name.get(), 2, b, 8192, r, t,
                                                &resume);
        },
        [&](LPBYTE b, DWORD n) {
            auto entries = reinterpret_cast<LOCALGROUP_MEMBERS_INFO_2*>(b);
            for (DWORD i = 0; i < n; ++i) {
                ++received;
                DWORD bit = SidUseBit(entries[i].lgrmi2_sidusage);
                if (!(mask & bit)) continue;
                std::string member = binding::TextFromSystemBuffer(entries[i].lgrmi2_domainandname);
                if (bit == 0x2 && (mask & kExpandGlobalGroups)) {
                    auto [domain, account] = SplitDomainAccount(member);
                    std::string ask = domain.empty() ? server : GetDCName(domain);
                    StringList users = GetGroupUsers(ask, account);
                    for (const auto& user : users.Items())
                        list.Add(HasDomainPart(user) ? user : domain + "\\" + user);
                } else {
                    list.Add(member);
                }
            }
        },
        [&] { return received; });
    return list;
}

StringList TNTPersistent::GetAccounts(const std::string& server, DWORD mask) {
    StringList list;
    if (mask & 0x1) {
        StringList groups = GetLocalGroups(server);
        for (const auto& n : groups.Items()) list.Add(n);
    }
    if (mask & 0x2) {
        StringList groups = GetGlobalGroups(server);
        if (!(groups.Count() == 1 && SameText(groups[0], "NONE")))
            for (const auto& n : groups.Items()) list.Add(n);
    }
    if (mask & 0x4) {
        StringList users = GetUsers(server, UserFilterFromWin32(0x2 | 0x8));
        for (const auto& n : users.Items()) list.Add(n);
    }
    if (mask & 0x8) {
        static const std::pair<BYTE, DWORD> kWellKnown[] = {
            {5, 1}, {5, 2}, {5, 3}, {5, 4}, {5, 6}, {5, 7}, {5, 9}, {5, 18}, {5, 32}, {1, 0}, {3, 0}};
        for (const auto& [authority, sub] : kWellKnown) {
            BYTE storage[12];
            std::string account = LocalSidAccountName(MakeWellKnownSid(authority, sub, storage));
            if (!account.empty()) list.Add(account);
        }
    }
    return list;
}

std::string TNTPersistent::GetEveryoneName(const std::string& system) {
    // A SID that cannot be made is raised; "everyone" stands only for a failed lookup.
    std::unique_ptr<void, SidDeleter> everyone(AllocEveryoneSid());
    std::string account, domain;
    if (everyone && LookupSidCached(system, everyone.get(), account, domain)) return account;
    return "everyone";
}

PSID AllocEveryoneSid() {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID sid = nullptr;
    if (!sys::AllocateAndInitializeSid(&world, 1, 0, 0, 0, 0, 0, 0, 0, 0, &sid)) {
        RaiseLastNTError();
        return nullptr;
    }
    return sid;
}

bool LookupSidCached(const std::string& system, PSID sid, std::string& account,
                     std::string& domain) {
    DWORD length = sys::GetLengthSid(sid);
    SidStore& store = GlobalSidStore();
    int index = store.IndexOfSid(sid, length);
    if (index >= 0) {
        store.GetNames(index, account, domain);
        return true;
    }
    account.clear();
    domain.clear();
    char account_buffer[128] = {0}, domain_buffer[128] = {0};
    DWORD account_size = sizeof account_buffer, domain_size = sizeof domain_buffer;
    SID_NAME_USE use;
    if (!sys::LookupAccountSidA(TextOrNull(system), sid, account_buffer, &account_size,
                                domain_buffer, &domain_size, &use))
        return false;
    account = account_buffer;
    domain = domain_buffer;
    BYTE local_system[sizeof kLocalSystemSid];
    std::memcpy(local_system, kLocalSystemSid, sizeof local_system);
    if (sys::EqualSid(sid, local_system)) domain.clear();
    store.Add(sid, length, account, domain);
    return true;
}

std::string LocalSidAccountName(PSID sid) {
    std::string account, domain;
    return LookupSidCached(std::string(), sid, account, domain) ? account : std::string();
}

}  // namespace dovrin
