// Shared helpers of the tests that drive the Service Control Manager of the test prefix.
#pragma once

#include <windows.h>

#include <string>

#include "nt_service.h"

namespace dovrin::test {

// A service name of the test's own, unique within the run.
inline std::string UniqueServiceName(const char* what) {
    static int counter = 0;
    return std::string("VtTest") + what + std::to_string(::GetCurrentProcessId()) + "_" +
           std::to_string(++counter);
}

// Deletes the named service when the test ends, whatever happened, with the system's own
// calls (never through the component under test).
class ServiceCleanup {
public:
    explicit ServiceCleanup(std::string name) : name_(std::move(name)) {}
    ~ServiceCleanup() {
        SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        if (!manager) return;
        SC_HANDLE service = ::OpenServiceA(manager, name_.c_str(), SERVICE_ALL_ACCESS);
        if (service) {
            SERVICE_STATUS status;
            ::ControlService(service, SERVICE_CONTROL_STOP, &status);
            for (int i = 0; i < 50 && ::QueryServiceStatus(service, &status) &&
                            status.dwCurrentState != SERVICE_STOPPED;
                 ++i)
                ::Sleep(100);
            ::DeleteService(service);
            ::CloseServiceHandle(service);
        }
        ::CloseServiceHandle(manager);
    }

private:
    std::string name_;
};

// The command line of the test service program for a service name.
inline std::string TestServiceCommand(const std::string& name) {
    return std::string("\"") + VT_TEST_SERVICE_PATH + "\" " + name;
}

// Waits until the open service reports the state (ordinal) or the time runs out.
inline bool WaitForState(TNTService& svc, CurrentState state, int milliseconds = 10000) {
    for (int waited = 0; waited <= milliseconds; waited += 100) {
        if (svc.QueryServiceStatus()->current_state == state) return true;
        ::Sleep(100);
    }
    return false;
}

}  // namespace dovrin::test
