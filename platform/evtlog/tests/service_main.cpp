// A service for the switch's test under the SCM: once started it reports one event to
// the source given as its first service argument, stops, and leaves the outcome as its
// exit code.
#include <windows.h>

#include "platform/evtlog/evtapi.h"

namespace {

const char kName[] = "VtEvtlogTestSvc";
SERVICE_STATUS_HANDLE g_status;

void WINAPI Handler(DWORD) {}

void SetState(DWORD state, DWORD exitCode) {
    SERVICE_STATUS s{};
    s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    s.dwCurrentState = state;
    s.dwWin32ExitCode = exitCode;
    SetServiceStatus(g_status, &s);
}

void WINAPI ServiceMain(DWORD argc, LPSTR* argv) {
    g_status = RegisterServiceCtrlHandlerA(kName, Handler);
    if (!g_status) return;
    SetState(SERVICE_RUNNING, 0);
    DWORD result = ERROR_INVALID_PARAMETER;
    if (argc >= 2) {
        const auto& api = vantrel::evtapi::Get();
        HANDLE h = api.RegisterEventSourceA(nullptr, argv[1]);
        LPCSTR strings[] = {"reported by a service"};
        result = h && api.ReportEventA(h, EVENTLOG_INFORMATION_TYPE, 0, 4242, nullptr, 1, 0, strings, nullptr)
                     ? ERROR_SUCCESS
                     : GetLastError();
        if (h) api.DeregisterEventSource(h);
    }
    SetState(SERVICE_STOPPED, result);
}

}  // namespace

int main() {
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<LPSTR>(kName), ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : int(GetLastError());
}
