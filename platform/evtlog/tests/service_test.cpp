// The switch inside a service started by the SCM finds vteventlog.dll beside the service.
#include <gtest/gtest.h>

#include "dll_support.h"

namespace vantrel::evtlog::test {
namespace {

struct ScHandle {
    explicit ScHandle(SC_HANDLE h) : h(h) {}
    ~ScHandle() { if (h) CloseServiceHandle(h); }
    SC_HANDLE h;
};

std::string BinFolder() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of('\\') + 1);
}

TEST(Service, ReportsThroughTheSubstituteWhenStartedByTheScm) {
    TestLog log("VtServiceLog", 0x10000);
    ScHandle scm(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ASSERT_TRUE(scm.h) << GetLastError();
    {
        ScHandle old(OpenServiceA(scm.h, "VtEvtlogTestSvc", DELETE));
        if (old.h) DeleteService(old.h);
    }
    std::string bin = "\"" + BinFolder() + "evtlog_test_service.exe\"";
    ScHandle svc(CreateServiceA(scm.h, "VtEvtlogTestSvc", "Vantrel event-log test service", SERVICE_ALL_ACCESS,
                                SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                bin.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(svc.h) << GetLastError();
    LPCSTR args[] = {"VtServiceLog"};
    ASSERT_TRUE(StartServiceA(svc.h, 1, args)) << GetLastError();
    SERVICE_STATUS status{};
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(QueryServiceStatus(svc.h, &status));
        if (status.dwCurrentState == SERVICE_STOPPED) break;
        Sleep(100);
    }
    DeleteService(svc.h);
    ASSERT_EQ(status.dwCurrentState, DWORD(SERVICE_STOPPED));
    EXPECT_EQ(status.dwWin32ExitCode, 0u);
    HANDLE h = Api().OpenEventLogA(nullptr, "VtServiceLog");
    ASSERT_TRUE(h);
    auto records = ReadAll(h, EVENTLOG_FORWARDS_READ);
    Api().CloseEventLog(h);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].eventId, 4242u);
    EXPECT_EQ(records[0].strings, std::vector<std::string>{"reported by a service"});
}

}  // namespace
}  // namespace vantrel::evtlog::test
