// report_event LOG SOURCE TYPE ID [STRING...]: writes one entry to an event log the way
// any program does (ReportEvent), through the same event-log functions as the system.
// TYPE is error, warning, information, audit-success or audit-failure. Exit 0 when the log
// took the entry. The Security log takes no entry from any program: for it this stands in
// for the system's auditing and appends the entry to the shared log itself.
// report_event --until-full LOG SOURCE: writes warnings until the log refuses one, as a log
// set never to overwrite does once it is full. Exit 0 when it refused with
// ERROR_LOG_FILE_FULL.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/evtlog/core/evt_format.h"
#include "platform/evtlog/dll/log_names.h"
#include "platform/evtlog/dll/shared_log.h"
#include "platform/evtlog/evtapi.h"

namespace {

std::u16string Utf16(const std::wstring& w) { return std::u16string(w.begin(), w.end()); }

int AppendAudit(const char* source, WORD type, DWORD id, const std::vector<const char*>& strings) {
    using namespace vantrel;
    using namespace vantrel::evtlog;
    evt::Event e;
    e.timeGenerated = NowSeconds();
    e.eventId = id;
    e.eventType = type;
    e.source = Utf16(Widen(source));
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD n = ARRAYSIZE(computer);
    if (::GetComputerNameW(computer, &n)) e.computer = Utf16(std::wstring(computer, n));
    for (const char* s : strings) e.strings.push_back(Utf16(Widen(s)));
    std::vector<uint8_t> record = evt::EncodeRecord(e);
    std::shared_ptr<SharedLog> log;
    DWORD r = record.empty() ? DWORD(ERROR_INVALID_PARAMETER) : SharedLog::Attach(L"Security", log);
    uint32_t number = 0;
    if (!r) {
        SharedLog::Lock lock(*log);
        r = log->Append(record, NowSeconds(), number);
    }
    if (r) std::fprintf(stderr, "Security log append failed: %lu\n", r);
    return r ? 1 : 0;
}

// The source must belong to the log the entries are meant for.
void RegisterSource(const char* log, const char* source) {
    const std::string key = std::string("SYSTEM\\CurrentControlSet\\Services\\EventLog\\") + log + "\\" + source;
    HKEY k = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) ==
        ERROR_SUCCESS)
        ::RegCloseKey(k);
}

int FillLog(const char* log, const char* source) {
    RegisterSource(log, source);
    const auto& api = vantrel::evtapi::Get();
    HANDLE handle = api.RegisterEventSourceA(nullptr, source);
    if (!handle) {
        std::fprintf(stderr, "RegisterEventSource failed: %lu\n", ::GetLastError());
        return 1;
    }
    const char* text = "filling the log";
    unsigned long written = 0;
    DWORD error = 0;
    // A bound far beyond any log size a test sets: a log that never fills is a failure.
    while (written < 1000000) {
        if (!api.ReportEventA(handle, EVENTLOG_WARNING_TYPE, 0, 1, nullptr, 1, 0, &text, nullptr)) {
            error = ::GetLastError();
            break;
        }
        ++written;
    }
    api.DeregisterEventSource(handle);
    std::printf("%lu entries written, then error %lu\n", written, error);
    return error == ERROR_LOG_FILE_FULL ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--until-full") return FillLog(argv[2], argv[3]);
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
    RegisterSource(argv[1], argv[2]);
    std::vector<const char*> strings(argv + 5, argv + argc);
    if (::lstrcmpiA(argv[1], "Security") == 0)
        return AppendAudit(argv[2], kind, static_cast<DWORD>(std::strtoul(argv[4], nullptr, 0)), strings);
    const auto& api = vantrel::evtapi::Get();
    HANDLE source = api.RegisterEventSourceA(nullptr, argv[2]);
    if (!source) {
        std::fprintf(stderr, "RegisterEventSource failed: %lu\n", ::GetLastError());
        return 1;
    }
    BOOL ok = api.ReportEventA(source, kind, 0, static_cast<DWORD>(std::strtoul(argv[4], nullptr, 0)), nullptr,
                               static_cast<WORD>(strings.size()), 0, strings.empty() ? nullptr : strings.data(),
                               nullptr);
    DWORD error = ::GetLastError();
    api.DeregisterEventSource(source);
    if (!ok) std::fprintf(stderr, "ReportEvent failed: %lu\n", error);
    return ok ? 0 : 1;
}
