// report_event LOG SOURCE TYPE ID [STRING...]: writes one entry to an event log the way
// any program does (ReportEvent), through the same event-log functions as the system.
// TYPE is error, warning, information, audit-success or audit-failure. Exit 0 when the log
// took the entry.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/evtlog/evtapi.h"

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: report_event LOG SOURCE TYPE ID [STRING...]\n");
        return 2;
    }
    const std::string type = argv[3];
    WORD kind = type == "warning"         ? EVENTLOG_WARNING_TYPE
              : type == "information"     ? EVENTLOG_INFORMATION_TYPE
              : type == "audit-success"   ? EVENTLOG_AUDIT_SUCCESS
              : type == "audit-failure"   ? EVENTLOG_AUDIT_FAILURE
                                          : EVENTLOG_ERROR_TYPE;
    // The source must belong to the log the entry is meant for.
    const std::string key = std::string("SYSTEM\\CurrentControlSet\\Services\\EventLog\\") + argv[1] + "\\" + argv[2];
    HKEY k = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) ==
        ERROR_SUCCESS)
        ::RegCloseKey(k);
    const auto& api = vantrel::evtapi::Get();
    HANDLE source = api.RegisterEventSourceA(nullptr, argv[2]);
    if (!source) {
        std::fprintf(stderr, "RegisterEventSource failed: %lu\n", ::GetLastError());
        return 1;
    }
    std::vector<const char*> strings(argv + 5, argv + argc);
    BOOL ok = api.ReportEventA(source, kind, 0, static_cast<DWORD>(std::strtoul(argv[4], nullptr, 0)), nullptr,
                               static_cast<WORD>(strings.size()), 0, strings.empty() ? nullptr : strings.data(),
                               nullptr);
    DWORD error = ::GetLastError();
    api.DeregisterEventSource(source);
    if (!ok) std::fprintf(stderr, "ReportEvent failed: %lu\n", error);
    return ok ? 0 : 1;
}
