// The service component against Wine's Service Control Manager, with a service program of
// the test's own. Every behaviour here is checked against Wine's real SCM unless a test
// says that it installs a double.
#include <gtest/gtest.h>

#include "binding.h"
#include "core/errors.h"
#include "nt_service.h"
#include "scm_test_support.h"

using namespace dovrin;
using namespace dovrin::test;

namespace {

// Counts configuration rewrites and passes them on to the real SCM.
decltype(&::ChangeServiceConfigA) real_change_config;
int change_config_calls;
BOOL WINAPI CountingChangeConfig(SC_HANDLE h, DWORD type, DWORD start, DWORD error, LPCSTR path,
                                 LPCSTR group, LPDWORD tag, LPCSTR deps, LPCSTR account,
                                 LPCSTR password, LPCSTR display) {
    ++change_config_calls;
    return real_change_config(h, type, start, error, path, group, tag, deps, account, password,
                              display);
}

// Creates a service program service with the component; returns its name.
std::string CreateTestService(const char* what, const StringList& dependencies = {},
                              const std::string& group = std::string()) {
    std::string name = UniqueServiceName(what);
    TNTService svc;
    svc.SetManagerAccess(ManagerAccess{M_CONNECT, M_CREATE_SERVICE});
    svc.SetActiveManager(true);
    svc.SetServiceName(name);
    svc.SetDisplayName(name + " display");
    svc.SetBinaryPathName(TestServiceCommand(name));
    svc.SetServiceType(ServiceTypes{WIN32_OWN_PROCESS});
    svc.SetStartType(DEMAND_START);
    svc.SetErrorControl(ERROR_NORMAL);
    svc.SetLoadOrder(group);
    svc.SetDependencies(dependencies);
    svc.Createservice();
    return name;
}

}  // namespace

TEST(ServiceScm, CreateOpenReadBackAndDelete) {
    std::string name;
    {
        TNTService svc;
        name = UniqueServiceName("Create");
        ServiceCleanup cleanup(name);
        svc.SetManagerAccess(ManagerAccess{M_CONNECT, M_CREATE_SERVICE});
        svc.SetActiveManager(true);
        svc.SetServiceName(name);
        svc.SetDisplayName("Vt display");
        svc.SetBinaryPathName(TestServiceCommand(name));
        svc.SetServiceType(ServiceTypes{WIN32_OWN_PROCESS});
        svc.SetStartType(DEMAND_START);
        svc.SetErrorControl(ERROR_SEVERE);
        svc.SetLoadOrder("VtTestGroup");
        svc.SetDependencies(StringList{"VtTestDependency", "+VtTestGroup"});
        svc.Createservice();
        EXPECT_FALSE(svc.ActiveService());
        EXPECT_EQ(svc.ServiceHandle(), nullptr);

        TNTService reader;
        reader.SetServiceName(name);
        reader.SetActiveService(true);  // opens the manager first
        EXPECT_TRUE(reader.ActiveManager());
        EXPECT_EQ(reader.DisplayName(), "Vt display");
        EXPECT_EQ(reader.BinaryPathName(), TestServiceCommand(name));
        EXPECT_EQ(reader.GetStartType(), DEMAND_START);
        EXPECT_EQ(reader.GetErrorControl(), ERROR_SEVERE);
        EXPECT_EQ(reader.GetServiceType(), ServiceTypes{WIN32_OWN_PROCESS});
        EXPECT_EQ(reader.LoadOrder(), "VtTestGroup");
        EXPECT_EQ(reader.Password(), "");
        // Wine does not return dependencies: their loading is checked with a double.

        reader.DeleteService();
        EXPECT_FALSE(reader.ActiveService());
        EXPECT_TRUE(reader.ActiveManager());
        try {
            reader.SetActiveService(true);
            FAIL() << "a deleted service opened";
        } catch (const ComponentError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("1060: ", 0), 0u) << e.what();
            EXPECT_EQ(e.Status(), 0x800407D0u);
        }
        EXPECT_FALSE(reader.ActiveService());
        EXPECT_EQ(reader.ServiceHandle(), nullptr);
    }
}

TEST(ServiceScm, PropertyChangesRewriteTheOpenServiceOnlyWhenTheValueChanges) {
    std::string name = CreateTestService("Change");
    ServiceCleanup cleanup(name);
    real_change_config = binding::Bound<decltype(::ChangeServiceConfigA)>(
        binding::Group::Service, "ChangeServiceConfigA");
    change_config_calls = 0;
    binding::ScopedEntry counting(binding::Group::Service, "ChangeServiceConfigA",
                                  &CountingChangeConfig);  // forwards to Wine's SCM

    TNTService svc;
    svc.SetServiceName(name);
    svc.SetActiveService(true);
    svc.SetDisplayName(svc.DisplayName());
    svc.SetStartType(svc.GetStartType());
    svc.SetBinaryPathName(svc.BinaryPathName());
    EXPECT_EQ(change_config_calls, 0);

    svc.SetDisplayName("Vt changed display");
    svc.SetStartType(DISABLED);
    EXPECT_EQ(change_config_calls, 2);
    svc.SetDependencies(svc.Dependencies());  // always rewritten
    EXPECT_EQ(change_config_calls, 3);

    TNTService reader;
    reader.SetServiceName(name);
    reader.SetActiveService(true);
    EXPECT_EQ(reader.DisplayName(), "Vt changed display");
    EXPECT_EQ(reader.GetStartType(), DISABLED);

    // A new ServiceName rewrites the service that is open; the handle still refers to it.
    SC_HANDLE before = svc.ServiceHandle();
    svc.SetServiceName(name + "Renamed");
    EXPECT_EQ(change_config_calls, 4);
    EXPECT_EQ(svc.ServiceHandle(), before);
}

TEST(ServiceScm, StartPauseContinueStopAndStatus) {
    std::string name = CreateTestService("Start");
    ServiceCleanup cleanup(name);
    TNTService svc;
    svc.SetServiceName(name);
    svc.SetManagerAccess(ManagerAccess{M_CONNECT, M_ENUMERATE_SERVICE});
    // Startservice on a closed manager and service opens both, starts, and leaves only the
    // manager open.
    svc.Startservice();
    EXPECT_TRUE(svc.ActiveManager());
    EXPECT_FALSE(svc.ActiveService());

    svc.SetActiveService(true);
    ASSERT_TRUE(WaitForState(svc, STATE_RUNNING));
    auto status = svc.QueryServiceStatus();
    EXPECT_EQ(status->service_name, name);
    EXPECT_EQ(status->displayed_name, name + " display");
    EXPECT_TRUE(status->service_type.Has(WIN32_OWN_PROCESS));
    EXPECT_EQ(ControlsAcceptedToWin32(status->controls_accepted), 7u);

    auto running = svc.GetServiceList(ServiceStates{STATE_ACTIVE}, EnumServices{ENUM_WIN32});
    int index = running->IndexOf(name);
    ASSERT_GE(index, 0);
    EXPECT_EQ(running->Items(index).current_state, STATE_RUNNING);
    EXPECT_EQ(running->Items(index).displayed_name, name + " display");

    svc.ControlService(CONTROL_PAUSE);
    EXPECT_TRUE(WaitForState(svc, STATE_PAUSED));
    svc.ControlService(CONTROL_CONTINUE);
    EXPECT_TRUE(WaitForState(svc, STATE_RUNNING));

    // Starting a running service fails and leaves the service open.
    try {
        svc.Startservice();
        FAIL() << "a running service started again";
    } catch (const ComponentError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("1056: ", 0), 0u) << e.what();
    }
    EXPECT_TRUE(svc.ActiveService());

    svc.ControlService(CONTROL_STOP);
    EXPECT_TRUE(WaitForState(svc, STATE_STOPPED));
    auto stopped = svc.GetServiceList(ServiceStates{STATE_INACTIVE}, EnumServices{ENUM_WIN32});
    EXPECT_GE(stopped->IndexOf(name), 0);
    EXPECT_LT(svc.GetServiceList(ServiceStates{STATE_ACTIVE}, EnumServices{ENUM_WIN32})->IndexOf(name), 0);

    EXPECT_EQ(svc.GetServiceDisplayName(name), name + " display");
    EXPECT_EQ(svc.GetServiceKeyName(name + " display"), name);
}

TEST(ServiceScm, DependentsOfAServiceWithoutThemGiveAnEmptyList) {
    std::string name = CreateTestService("Dependents");
    ServiceCleanup cleanup(name);
    TNTService svc;
    svc.SetServiceName(name);
    svc.SetActiveService(true);
    auto dependents = svc.GetDependentServiceList(ServiceStates{STATE_ACTIVE, STATE_INACTIVE});
    EXPECT_EQ(dependents->Count(), 0);
}

TEST(ServiceScm, RefusedSettersKeepTheirValues) {
    std::string name = CreateTestService("Refuse");
    ServiceCleanup cleanup(name);
    TNTService svc;
    svc.SetActiveManager(true);
    auto expect_refused = [](auto&& set, const char* text) {
        try {
            set();
            ADD_FAILURE() << "not refused";
        } catch (const ComponentError& e) {
            EXPECT_STREQ(e.what(), text);
            EXPECT_EQ(e.Status(), 0x800407D0u);
        }
    };
    expect_refused([&] { svc.SetMachineName("elsewhere"); }, kManagerActiveText);
    expect_refused([&] { svc.SetDatabaseName("ServicesActive"); }, kManagerActiveText);
    expect_refused([&] { svc.SetManagerAccess(ManagerAccess{M_LOCK}); }, kManagerActiveText);
    EXPECT_EQ(svc.GetMachineName(), "");
    EXPECT_EQ(svc.DatabaseName(), "");
    EXPECT_EQ(svc.GetManagerAccess(), ManagerAccess{M_CONNECT});
    svc.SetMachineName("");  // the same value is no change

    svc.SetServiceName(name);
    svc.SetActiveService(true);
    expect_refused([&] { svc.SetServiceAccess(ServiceAccess{S_START}); }, kServiceActiveText);
    EXPECT_EQ(svc.GetServiceAccess(), ServiceAccess{S_ALL_ACCESS});

    // With the manager closed and the service open, the manager access may change.
    svc.SetActiveManager(false);
    EXPECT_TRUE(svc.ActiveService());
    svc.SetManagerAccess(ManagerAccess{M_CONNECT, M_LOCK});
    EXPECT_EQ(svc.GetManagerAccess(), (ManagerAccess{M_CONNECT, M_LOCK}));
    // Closing the service while the manager is closed opens the manager and leaves it open.
    svc.SetActiveService(false);
    EXPECT_TRUE(svc.ActiveManager());
    EXPECT_NE(svc.ManagerHandle(), nullptr);
}

TEST(ServiceScm, PropertyServiceNamesRestoreTheConnection) {
    std::string name = CreateTestService("Names");
    ServiceCleanup cleanup(name);
    TNTService svc;
    svc.SetActiveManager(true);
    auto names = svc.GetPropertyServiceNames();
    EXPECT_GE(names->IndexOf(name), 0);
    EXPECT_TRUE(svc.ActiveManager());
    EXPECT_NE(svc.ManagerHandle(), nullptr);
    EXPECT_EQ(svc.GetManagerAccess(), ManagerAccess{M_CONNECT});
    EXPECT_FALSE(svc.ActiveService());

    TNTService closed;
    closed.SetManagerAccess(ManagerAccess{M_CONNECT, M_LOCK});
    EXPECT_GE(closed.GetPropertyServiceNames()->IndexOf(name), 0);
    EXPECT_FALSE(closed.ActiveManager());
    EXPECT_EQ(closed.GetManagerAccess(), (ManagerAccess{M_CONNECT, M_LOCK}));
}

TEST(ServiceScm, PersistedFlagsOpenTheConnectionsWhenLoaded) {
    std::string name = CreateTestService("Loaded");
    ServiceCleanup cleanup(name);
    TNTService svc;
    svc.BeginLoading();
    svc.SetActiveManager(true);
    svc.SetActiveService(true);
    svc.SetManagerAccess(ManagerAccess{M_CONNECT, M_ENUMERATE_SERVICE});  // not refused while loading
    svc.SetServiceName(name);  // no rewrite while the values are read
    svc.EndReading();
    EXPECT_EQ(svc.ManagerHandle(), nullptr);
    svc.Loaded();
    EXPECT_TRUE(svc.ActiveManager());
    EXPECT_TRUE(svc.ActiveService());
    EXPECT_EQ(svc.DisplayName(), name + " display");
}

TEST(ServiceScm, LocalMachineNamesAndRemoteFailures) {
    TNTService blanks;
    blanks.SetMachineName("   ");
    blanks.SetActiveManager(true);  // blanks mean the local machine
    EXPECT_TRUE(blanks.ActiveManager());

    // Wine's SCM ignores the machine name, so only the remote registry shows the failure
    // path; the failed open of a manager is checked with a double.
    TNTService remote;
    remote.SetMachineName("VtNoSuchHost");
    try {
        remote.GetOrderGroupList();
        FAIL() << "a remote registry answered";
    } catch (const ComponentError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("53: ", 0), 0u) << e.what();
    }

    // The local list, as Wine's prefix has it.
    TNTService local;
    EXPECT_GE(local.GetOrderGroupList()->IndexOf("TDI"), 0);
}

TEST(ServiceScm, LockAndUnlockTheDatabase) {
    // Wine hands out a fixed pretend lock; lock failures and owners are checked with doubles.
    TNTService svc;
    svc.SetManagerAccess(ManagerAccess{M_CONNECT, M_LOCK});
    svc.SetActiveManager(true);
    svc.SetDBLocked(true);
    EXPECT_TRUE(svc.DBLocked());
    EXPECT_NE(svc.DBLockHandle(), nullptr);
    svc.SetDBLocked(false);
    EXPECT_FALSE(svc.DBLocked());
    EXPECT_EQ(svc.DBLockHandle(), nullptr);
}

TEST(ServiceScm, LockStatusWithoutLastErrorRaisesNothing) {
    // Wine's QueryServiceLockStatus fails without setting the last error: nothing is raised
    // and the record stays empty.
    TNTService svc;
    svc.SetManagerAccess(ManagerAccess{M_CONNECT, M_QUERY_LOCK_STATUS});
    svc.SetActiveManager(true);
    LockStatus status = svc.QueryServiceLockStatus();
    EXPECT_EQ(status.is_locked, 0u);
    EXPECT_EQ(status.lock_owner, "");
}
