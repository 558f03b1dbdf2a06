// Run-time binding of the system functions that the library calls. Each function is looked
// up by name when the library first needs its group, from the NT system library or, outside
// the NT family, from "radmin32.dll"; a function that could not be bound fails only when
// it is called. Tests install doubles in the same entry points.
#pragma once

#include <windows.h>
#include <lm.h>
#include <ntsecapi.h>

#include <cstddef>
#include <string>
#include <vector>

namespace dovrin::binding {

enum class Group { Security, Net, Account, Service };

// The library file of a group as bound ("advapi32.dll", "netapi32.dll", "radmin32.dll").
std::string LibraryFile(Group group);

// The bound entry point of `name`; raises the load error when it is null.
FARPROC Entry(Group group, const char* name);

// Binds every group again as on an NT system (true) or another one (false); the default
// binding asks IsWinNT. Doubles installed before are lost.
void Rebind(bool win_nt);

// Replaces one entry point and returns the previous one; null makes calls fail with the
// load error. Unknown names are refused with a plain error.
FARPROC Install(Group group, const char* name, FARPROC entry);

// A double installed for the lifetime of the object.
class ScopedEntry {
public:
    template <class F>
    ScopedEntry(Group group, const char* name, F* entry)
        : group_(group), name_(name),
          previous_(Install(group, name, reinterpret_cast<FARPROC>(reinterpret_cast<void*>(entry)))) {}
    ~ScopedEntry() { Install(group_, name_, previous_); }
    ScopedEntry(const ScopedEntry&) = delete;
    ScopedEntry& operator=(const ScopedEntry&) = delete;

private:
    Group group_;
    const char* name_;
    FARPROC previous_;
};

// Whether the platform is of the NT family; raises the last error when it cannot be asked.
bool IsWinNT();

// Text for functions that take wide text on NT and byte text elsewhere. `size` counts
// characters of the platform's kind, the terminating NUL included.
void CopyToSystemText(const std::string& text, void* buffer, std::size_t size);
std::string TextFromSystemBuffer(const void* buffer);

// A counted wide string of the security authority, with its own buffer: for a non-empty
// text the wide text and a NUL, length 2 x characters, maximum 2 x characters + 2; for an
// empty text no buffer and both lengths 0.
class LsaString {
public:
    explicit LsaString(const std::string& text);
    LsaString(const LsaString&) = delete;  // the record points into the owned buffer
    LsaString& operator=(const LsaString&) = delete;
    LSA_UNICODE_STRING* get() { return &value_; }
    const LSA_UNICODE_STRING& value() const { return value_; }

private:
    std::vector<wchar_t> storage_;
    LSA_UNICODE_STRING value_{};
};

inline LsaString MakeLsaString(const std::string& text) { return LsaString(text); }

template <class F>
F* Bound(Group group, const char* name) {
    return reinterpret_cast<F*>(reinterpret_cast<void*>(Entry(group, name)));
}

}  // namespace dovrin::binding

// One call stub per system function that the library calls: same arguments and result.
namespace dovrin::sys {

#define DOVRIN_CALL_STUB(group, fn)                                                       \
    template <class... A>                                                                  \
    inline auto fn(A... a) {                                                               \
        return ::dovrin::binding::Bound<decltype(::fn)>(::dovrin::binding::Group::group,  \
                                                        #fn)(a...);                        \
    }

DOVRIN_CALL_STUB(Security, LsaOpenPolicy)
DOVRIN_CALL_STUB(Security, LsaClose)
DOVRIN_CALL_STUB(Security, LsaFreeMemory)
DOVRIN_CALL_STUB(Security, LsaQueryInformationPolicy)
DOVRIN_CALL_STUB(Security, LsaNtStatusToWinError)
DOVRIN_CALL_STUB(Security, GetLengthSid)

DOVRIN_CALL_STUB(Net, NetServerEnum)
DOVRIN_CALL_STUB(Net, NetApiBufferFree)
DOVRIN_CALL_STUB(Net, NetUserEnum)
DOVRIN_CALL_STUB(Net, NetGroupEnum)
DOVRIN_CALL_STUB(Net, NetLocalGroupEnum)
DOVRIN_CALL_STUB(Net, NetGroupGetUsers)
DOVRIN_CALL_STUB(Net, NetLocalGroupGetMembers)
DOVRIN_CALL_STUB(Net, NetGetAnyDCName)
DOVRIN_CALL_STUB(Net, NetGetDCName)

DOVRIN_CALL_STUB(Account, LookupAccountSidA)
DOVRIN_CALL_STUB(Account, AllocateAndInitializeSid)
DOVRIN_CALL_STUB(Account, EqualSid)

DOVRIN_CALL_STUB(Service, ChangeServiceConfigA)
DOVRIN_CALL_STUB(Service, CloseServiceHandle)
DOVRIN_CALL_STUB(Service, ControlService)
DOVRIN_CALL_STUB(Service, CreateServiceA)
DOVRIN_CALL_STUB(Service, DeleteService)
DOVRIN_CALL_STUB(Service, EnumDependentServicesA)
DOVRIN_CALL_STUB(Service, EnumServicesStatusA)
DOVRIN_CALL_STUB(Service, GetServiceDisplayNameA)
DOVRIN_CALL_STUB(Service, GetServiceKeyNameA)
DOVRIN_CALL_STUB(Service, LockServiceDatabase)
DOVRIN_CALL_STUB(Service, NotifyBootConfigStatus)
DOVRIN_CALL_STUB(Service, OpenSCManagerA)
DOVRIN_CALL_STUB(Service, OpenServiceA)
DOVRIN_CALL_STUB(Service, QueryServiceConfigA)
DOVRIN_CALL_STUB(Service, QueryServiceLockStatusA)
DOVRIN_CALL_STUB(Service, QueryServiceStatus)
DOVRIN_CALL_STUB(Service, StartServiceA)
DOVRIN_CALL_STUB(Service, UnlockServiceDatabase)
DOVRIN_CALL_STUB(Service, RegConnectRegistryA)
DOVRIN_CALL_STUB(Service, RegOpenKeyExA)
DOVRIN_CALL_STUB(Service, RegCloseKey)
DOVRIN_CALL_STUB(Service, RegQueryValueExA)

#undef DOVRIN_CALL_STUB

}  // namespace dovrin::sys
