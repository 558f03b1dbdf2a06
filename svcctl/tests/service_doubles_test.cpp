// The service component's paths that Wine's SCM stubs (dependencies, dependents, locks,
// lock status, tag ids) or that need a particular answer of the system, each with a double
// installed in the run-time bound entry points. Calls not replaced go to Wine's SCM.
#include <gtest/gtest.h>

#include <cstring>

#include "binding.h"
#include "core/errors.h"
#include "nt_service.h"

using namespace dovrin;
using binding::Group;
using binding::ScopedEntry;

namespace {

SC_HANDLE const kManager = reinterpret_cast<SC_HANDLE>(0x5100);
SC_HANDLE const kService = reinterpret_cast<SC_HANDLE>(0x5200);
SC_LOCK const kLock = reinterpret_cast<SC_LOCK>(0x5300);

// What the doubles saw.
struct Seen {
    std::string machine;
    bool machine_null = false;
    DWORD manager_access = 0, service_access = 0;
    int closes = 0, unlocks = 0;
    LPDWORD tag = nullptr;
    DWORD tag_value = 0;
    int creates = 0;
} seen;

SC_HANDLE WINAPI FakeOpenManager(LPCSTR machine, LPCSTR, DWORD access) {
    seen.machine_null = machine == nullptr;
    seen.machine = machine ? machine : "";
    seen.manager_access = access;
    return kManager;
}
SC_HANDLE WINAPI FakeOpenService(SC_HANDLE, LPCSTR, DWORD access) {
    seen.service_access = access;
    return kService;
}
BOOL WINAPI FakeClose(SC_HANDLE) {
    ++seen.closes;
    return TRUE;
}

// A configuration with two dependencies, laid out as the system lays it out.
BOOL WINAPI ConfigWithDependencies(SC_HANDLE, LPQUERY_SERVICE_CONFIGA config, DWORD size, LPDWORD) {
    std::memset(config, 0, size);
    char* text = reinterpret_cast<char*>(config + 1);
    auto put = [&](const char* s, std::size_t n) {
        char* at = text;
        std::memcpy(at, s, n);
        text += n;
        return at;
    };
    config->dwServiceType = 0x110;
    config->dwStartType = 7;
    config->dwErrorControl = 9;
    config->lpBinaryPathName = put("C:\\vt.exe", 10);
    config->lpLoadOrderGroup = put("VtGroup", 8);
    config->dwTagId = 12;
    config->lpDependencies = put("VtDep\0+VtGroup\0", 16);
    config->lpServiceStartName = put("LocalSystem", 12);
    config->lpDisplayName = put("Vt shown", 9);
    return TRUE;
}

BOOL WINAPI ConfigFails(SC_HANDLE, LPQUERY_SERVICE_CONFIGA, DWORD, LPDWORD) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

// Two dependents and one entry without a key name, which is left out.
BOOL WINAPI TwoDependents(SC_HANDLE, DWORD state, LPENUM_SERVICE_STATUSA entries, DWORD size,
                          LPDWORD needed, LPDWORD count) {
    EXPECT_EQ(state, 3u);
    EXPECT_EQ(size, 32768u);
    char* text = reinterpret_cast<char*>(entries + 3);
    std::strcpy(text, "VtDependentA");
    std::strcpy(text + 20, "Dependent A");
    std::strcpy(text + 40, "VtDependentB");
    std::strcpy(text + 60, "");
    entries[0] = ENUM_SERVICE_STATUSA{text, text + 20, {0x10, 4, 1, 0, 0, 0, 0}};
    entries[1] = ENUM_SERVICE_STATUSA{text + 60, text + 60, {0x10, 1, 0, 0, 0, 0, 0}};
    entries[2] = ENUM_SERVICE_STATUSA{text + 40, nullptr, {0x20, 7, 3, 5, 6, 7, 8}};
    *needed = 0;
    *count = 3;
    return TRUE;
}

BOOL WINAPI MoreData(SC_HANDLE, DWORD, LPENUM_SERVICE_STATUSA, DWORD, LPDWORD needed, LPDWORD count) {
    *needed = 40000;
    *count = 0;
    ::SetLastError(ERROR_MORE_DATA);
    return FALSE;
}

BOOL WINAPI NoServices(SC_HANDLE, DWORD type, DWORD state, LPENUM_SERVICE_STATUSA, DWORD,
                       LPDWORD needed, LPDWORD count, LPDWORD) {
    seen.manager_access = type;  // reused: the filters that were asked for
    seen.service_access = state;
    *needed = 0;
    *count = 0;
    return TRUE;
}

BOOL WINAPI EnumMoreData(SC_HANDLE, DWORD, DWORD, LPENUM_SERVICE_STATUSA, DWORD, LPDWORD needed,
                         LPDWORD count, LPDWORD) {
    *needed = 40000;
    *count = 0;
    ::SetLastError(ERROR_MORE_DATA);
    return FALSE;
}

BOOL WINAPI FakeChangeConfig(SC_HANDLE, DWORD, DWORD, DWORD, LPCSTR, LPCSTR, LPDWORD, LPCSTR,
                             LPCSTR, LPCSTR, LPCSTR) {
    return TRUE;
}

SC_LOCK WINAPI FakeLock(SC_HANDLE) { return kLock; }
SC_LOCK WINAPI LockHeld(SC_HANDLE) {
    ::SetLastError(ERROR_SERVICE_DATABASE_LOCKED);
    return nullptr;
}
BOOL WINAPI FakeUnlock(SC_LOCK lock) {
    EXPECT_EQ(lock, kLock);
    ++seen.unlocks;
    return TRUE;
}
BOOL WINAPI UnlockFails(SC_LOCK) {
    ::SetLastError(ERROR_INVALID_SERVICE_LOCK);
    return FALSE;
}

BOOL WINAPI LockedStatus(SC_HANDLE, LPQUERY_SERVICE_LOCK_STATUSA status, DWORD size, LPDWORD) {
    EXPECT_EQ(size, 1024u);
    char* owner = reinterpret_cast<char*>(status + 1);
    std::strcpy(owner, "VTDOMAIN\\admin");
    status->fIsLocked = 1;
    status->lpLockOwner = owner;
    status->dwLockDuration = 42;
    return TRUE;
}

BOOL WINAPI FailsWithoutReason(SC_HANDLE, DWORD, LPCSTR*) {
    ::SetLastError(0);
    return FALSE;
}

SC_HANDLE WINAPI FakeCreate(SC_HANDLE, LPCSTR, LPCSTR, DWORD, DWORD, DWORD, DWORD, LPCSTR, LPCSTR,
                            LPDWORD tag, LPCSTR, LPCSTR, LPCSTR) {
    ++seen.creates;
    seen.tag = tag;
    if (tag) {
        seen.tag_value = *tag;
        *tag = 77;  // the system writes the new tag
    }
    return kService;
}

// The component over doubled manager and service handles.
struct DoubledScm {
    DoubledScm() { seen = Seen{}; }
    ScopedEntry open_manager{Group::Service, "OpenSCManagerA", &FakeOpenManager};
    ScopedEntry open_service{Group::Service, "OpenServiceA", &FakeOpenService};
    ScopedEntry close{Group::Service, "CloseServiceHandle", &FakeClose};
    ScopedEntry config{Group::Service, "QueryServiceConfigA", &ConfigWithDependencies};
    ScopedEntry change{Group::Service, "ChangeServiceConfigA", &FakeChangeConfig};
};

}  // namespace

TEST(ServiceDoubles, OpenLoadsTheConfigurationWithDependencies) {
    DoubledScm scm;
    TNTService svc;
    svc.SetServiceAccess(ServiceAccess{S_ALL_ACCESS, S_START});
    svc.SetServiceName("VtAny");
    svc.SetActiveService(true);
    EXPECT_EQ(seen.service_access, 0xF01FFu);
    EXPECT_EQ(svc.BinaryPathName(), "C:\\vt.exe");
    EXPECT_EQ(svc.LoadOrder(), "VtGroup");
    EXPECT_EQ(svc.TagId(), 12u);
    EXPECT_EQ(svc.ServiceStartName(), "LocalSystem");
    EXPECT_EQ(svc.DisplayName(), "Vt shown");
    EXPECT_EQ(svc.GetStartType(), DISABLED);      // 7
    EXPECT_EQ(svc.GetErrorControl(), ERROR_NORMAL);  // 9
    EXPECT_EQ(svc.GetServiceType(), (ServiceTypes{WIN32_OWN_PROCESS, INTERACTIVE_PROCESS}));
    EXPECT_EQ(svc.Dependencies().Items(), (std::vector<std::string>{"VtDep", "+VtGroup"}));
}

TEST(ServiceDoubles, AFailedConfigurationQueryLeavesTheServiceOpen) {
    DoubledScm scm;
    ScopedEntry fails(Group::Service, "QueryServiceConfigA", &ConfigFails);
    TNTService svc;
    svc.SetDisplayName("kept");
    try {
        svc.SetActiveService(true);
        FAIL() << "no error";
    } catch (const ComponentError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("5: ", 0), 0u) << e.what();
        // The system's text, with the closing line break that the system gives it.
        EXPECT_EQ(std::string(e.what()).substr(std::strlen(e.what()) - 2), "\r\n");
    }
    EXPECT_TRUE(svc.ActiveService());
    EXPECT_EQ(svc.ServiceHandle(), kService);
    EXPECT_EQ(svc.DisplayName(), "kept");
}

TEST(ServiceDoubles, MachineNamesAreTrimmedOnlyToTellBlankFromGiven) {
    DoubledScm scm;
    TNTService blank;
    blank.SetMachineName("  ");
    blank.SetActiveManager(true);
    EXPECT_TRUE(seen.machine_null);
    EXPECT_EQ(seen.manager_access, 1u);

    TNTService spaced;
    spaced.SetMachineName(" host ");
    spaced.SetManagerAccess(ManagerAccess{M_CONNECT, M_ENUMERATE_SERVICE});
    spaced.SetActiveManager(true);
    EXPECT_FALSE(seen.machine_null);
    EXPECT_EQ(seen.machine, " host ");
    EXPECT_EQ(seen.manager_access, 5u);
}

namespace {
SC_HANDLE WINAPI NoPath(LPCSTR, LPCSTR, DWORD) {
    ::SetLastError(ERROR_BAD_NETPATH);
    return nullptr;
}
}  // namespace

TEST(ServiceDoubles, AFailedOpenOfARemoteManagerLeavesItClosed) {
    ScopedEntry open(Group::Service, "OpenSCManagerA", &NoPath);
    TNTService svc;
    svc.SetMachineName("VtNoSuchHost");
    try {
        svc.SetActiveManager(true);
        FAIL() << "no error";
    } catch (const ComponentError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("53: ", 0), 0u) << e.what();
    }
    EXPECT_FALSE(svc.ActiveManager());
    EXPECT_EQ(svc.ManagerHandle(), nullptr);
    EXPECT_THROW(svc.Startservice(), ComponentError);  // opens nothing either
    EXPECT_FALSE(svc.ActiveService());
}

TEST(ServiceDoubles, DependentsAreListedAndNamelessEntriesSkipped) {
    DoubledScm scm;
    ScopedEntry dependents(Group::Service, "EnumDependentServicesA", &TwoDependents);
    TNTService svc;
    svc.SetActiveService(true);
    auto list = svc.GetDependentServiceList(ServiceStates{STATE_ACTIVE, STATE_INACTIVE});
    ASSERT_EQ(list->Count(), 2);
    EXPECT_EQ(list->Items(0).service_name, "VtDependentA");
    EXPECT_EQ(list->Items(0).displayed_name, "Dependent A");
    EXPECT_EQ(list->Items(0).current_state, STATE_RUNNING);
    EXPECT_EQ(list->Items(1).service_name, "VtDependentB");
    EXPECT_EQ(list->Items(1).displayed_name, "");
    EXPECT_EQ(list->Items(1).current_state, STATE_PAUSED);
    EXPECT_EQ(list->Items(1).wait_hint, 8u);
    EXPECT_EQ(list->IndexOf("vtdependentb"), 1);
}

TEST(ServiceDoubles, EnumerationsThatDoNotFitRaiseAndReturnNoList) {
    DoubledScm scm;
    ScopedEntry dependents(Group::Service, "EnumDependentServicesA", &MoreData);
    ScopedEntry services(Group::Service, "EnumServicesStatusA", &EnumMoreData);
    TNTService svc;
    svc.SetActiveService(true);
    try {
        svc.GetDependentServiceList(ServiceStates{STATE_ACTIVE});
        FAIL() << "no error";
    } catch (const ComponentError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("234: ", 0), 0u) << e.what();
    }
    EXPECT_THROW(svc.GetServiceList(ServiceStates{STATE_ACTIVE}, EnumServices{ENUM_WIN32}),
                 ComponentError);

    // GetPropertyServiceNames restores the connection and the access on its failure too.
    TNTService names;
    names.SetManagerAccess(ManagerAccess{M_CONNECT, M_LOCK});
    names.SetActiveManager(true);
    EXPECT_THROW(names.GetPropertyServiceNames(), ComponentError);
    EXPECT_EQ(seen.manager_access, 0x9u);  // reopened with the remembered access
    EXPECT_TRUE(names.ActiveManager());
    EXPECT_EQ(names.GetManagerAccess(), (ManagerAccess{M_CONNECT, M_LOCK}));
}

TEST(ServiceDoubles, ZeroEntriesGiveAnEmptyListAndFiltersPassThrough) {
    DoubledScm scm;
    ScopedEntry services(Group::Service, "EnumServicesStatusA", &NoServices);
    TNTService svc;
    auto list = svc.GetServiceList(ServiceStates{STATE_ACTIVE, STATE_INACTIVE},
                                   EnumServices{ENUM_DRIVERS, ENUM_WIN32});
    EXPECT_EQ(list->Count(), 0);
    EXPECT_TRUE(svc.ActiveManager());  // opened and left open
    EXPECT_EQ(seen.manager_access, 0x3Bu);
    EXPECT_EQ(seen.service_access, 3u);
    svc.GetServiceList(ServiceStates{}, EnumServices{});
    EXPECT_EQ(seen.manager_access, 0u);  // no kinds: service type 0 goes to the system
}

TEST(ServiceDoubles, LockAndUnlock) {
    DoubledScm scm;
    ScopedEntry lock(Group::Service, "LockServiceDatabase", &FakeLock);
    ScopedEntry unlock(Group::Service, "UnlockServiceDatabase", &FakeUnlock);
    {
        TNTService svc;
        svc.SetActiveManager(true);
        svc.SetDBLocked(true);
        EXPECT_TRUE(svc.DBLocked());
        EXPECT_EQ(svc.DBLockHandle(), kLock);
        svc.SetDBLocked(true);  // no change
        svc.SetDBLocked(false);
        EXPECT_FALSE(svc.DBLocked());
        EXPECT_EQ(svc.DBLockHandle(), nullptr);
        EXPECT_EQ(seen.unlocks, 1);
        svc.SetDBLocked(true);
    }
    EXPECT_EQ(seen.unlocks, 2);  // the destructor unlocks
    EXPECT_EQ(seen.closes, 1);   // and closes the manager

    ScopedEntry failing_unlock(Group::Service, "UnlockServiceDatabase", &UnlockFails);
    TNTService svc;
    svc.SetActiveManager(true);
    svc.SetDBLocked(true);
    try {
        svc.SetDBLocked(false);
        FAIL() << "no error";
    } catch (const ComponentError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("1071: ", 0), 0u) << e.what();
    }
    EXPECT_TRUE(svc.DBLocked());
    EXPECT_EQ(svc.DBLockHandle(), kLock);

    ScopedEntry held(Group::Service, "LockServiceDatabase", &LockHeld);
    TNTService other;
    other.SetActiveManager(true);
    EXPECT_THROW(other.SetDBLocked(true), ComponentError);
    EXPECT_FALSE(other.DBLocked());
}

TEST(ServiceDoubles, LockStatusOfALockedDatabase) {
    DoubledScm scm;
    ScopedEntry status(Group::Service, "QueryServiceLockStatusA", &LockedStatus);
    TNTService svc;
    svc.SetActiveManager(true);
    LockStatus s = svc.QueryServiceLockStatus();
    EXPECT_EQ(s.is_locked, 1u);
    EXPECT_EQ(s.lock_owner, "VTDOMAIN\\admin");
    EXPECT_EQ(s.lock_duration, 42u);
}

TEST(ServiceDoubles, AFailureWithLastErrorZeroRaisesNothingAndGoesOn) {
    DoubledScm scm;
    ScopedEntry start(Group::Service, "StartServiceA", &FailsWithoutReason);
    TNTService svc;
    EXPECT_NO_THROW(svc.Startservice());
    EXPECT_FALSE(svc.ActiveService());  // went on to close the service
}

TEST(ServiceDoubles, CreateKeepsTagOneWithoutAGroupAndTakesTheSystemsTagWithOne) {
    DoubledScm scm;
    ScopedEntry create(Group::Service, "CreateServiceA", &FakeCreate);
    TNTService svc;
    svc.SetActiveService(true);
    svc.SetLoadOrder("");
    svc.SetTagId(5);
    svc.Createservice();
    EXPECT_FALSE(svc.ActiveService());  // the open service was closed first
    EXPECT_EQ(seen.tag, nullptr);
    EXPECT_EQ(svc.TagId(), 1u);

    svc.SetLoadOrder("VtGroup");
    svc.Createservice();
    EXPECT_EQ(seen.tag_value, 1u);
    EXPECT_EQ(svc.TagId(), 77u);
}

TEST(ServiceDoubles, UnboundEntryPointsRaiseThePlainLoadError) {
    ScopedEntry missing(Group::Service, "OpenSCManagerA", static_cast<FARPROC>(nullptr));
    TNTService svc;
    try {
        svc.SetActiveManager(true);
        FAIL() << "no error";
    } catch (const ComponentError&) {
        FAIL() << "the load error is a plain error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Cannot load library \"advapi32.dll\" or linked libraries");
        EXPECT_EQ(StatusOf(e), 0x8000FFFFu);
    }
    EXPECT_FALSE(svc.ActiveManager());
}
