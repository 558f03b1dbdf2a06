// A tiny service for the provider's tests: runs until stopped and can be paused. Its
// service name is the first argument of its command line.
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE status_handle;
SERVICE_STATUS status;
HANDLE stop_event;

void Report(DWORD state) {
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE;
    ::SetServiceStatus(status_handle, &status);
}

DWORD WINAPI Handler(DWORD control, DWORD, LPVOID, LPVOID) {
    switch (control) {
    case SERVICE_CONTROL_STOP: Report(SERVICE_STOP_PENDING); ::SetEvent(stop_event); break;
    case SERVICE_CONTROL_PAUSE: Report(SERVICE_PAUSED); break;
    case SERVICE_CONTROL_CONTINUE: Report(SERVICE_RUNNING); break;
    default: ::SetServiceStatus(status_handle, &status); break;
    }
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, LPSTR* argv) {
    status_handle = ::RegisterServiceCtrlHandlerExA(argv[0], Handler, nullptr);
    if (!status_handle) return;
    Report(SERVICE_RUNNING);
    ::WaitForSingleObject(stop_event, INFINITE);
    Report(SERVICE_STOPPED);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    stop_event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SERVICE_TABLE_ENTRYA table[] = {{argv[1], ServiceMain}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
