// report_burst LOG SOURCE COUNT INTERVAL_MS [FILLER]: reports COUNT error entries, one every
// INTERVAL_MS (0: as fast as possible), each with one insertion string of FILLER
// characters when given (so that fewer fit into a small log), and prints for each its record number and the
// time of the report in milliseconds since 1970, one "number time" line per entry.
// Fails, saying so, when the source writes to another log than LOG (a source belongs to
// the first log that has it).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/evtlog/evtapi.h"

namespace {

long long NowMs() {
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t{{ft.dwLowDateTime, ft.dwHighDateTime}};
    return static_cast<long long>(t.QuadPart / 10000ULL) - 11644473600000LL;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: report_burst LOG SOURCE COUNT INTERVAL_MS [FILLER]\n");
        return 2;
    }
    // The source must belong to the log the entries are meant for.
    const std::string key = std::string("SYSTEM\\CurrentControlSet\\Services\\EventLog\\") + argv[1] + "\\" + argv[2];
    HKEY k = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) ==
        ERROR_SUCCESS)
        ::RegCloseKey(k);
    const auto& api = vantrel::evtapi::Get();
    HANDLE source = api.RegisterEventSourceA(nullptr, argv[2]);
    HANDLE log = api.OpenEventLogA(nullptr, argv[1]);
    if (!source || !log) return 1;
    const long count = std::atol(argv[3]);
    const DWORD interval = static_cast<DWORD>(std::atol(argv[4]));
    // An insertion string holds at most 31,839 characters.
    const unsigned long filler_length = argc == 6 ? std::strtoul(argv[5], nullptr, 10) : 0;
    const std::string filler(filler_length < 30000 ? filler_length : 30000, 'f');
    const char* strings[] = {filler.c_str()};
    // One past the newest record number: it grows with every entry the log takes.
    auto end = [&] {
        DWORD oldest = 0, records = 0;
        api.GetOldestEventLogRecord(log, &oldest);
        api.GetNumberOfEventLogRecords(log, &records);
        return records ? oldest + records : 0;
    };
    for (long i = 0; i < count; ++i) {
        const long long at = NowMs();
        const DWORD before = end();
        if (!api.ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, 1000, nullptr, filler.empty() ? 0 : 1, 0,
                              filler.empty() ? nullptr : strings, nullptr)) return 1;
        const DWORD after = end();
        if (i == 0 && after == before) {
            std::fprintf(stderr, "report_burst: the source \"%s\" writes to another log than \"%s\"\n", argv[2], argv[1]);
            return 1;
        }
        std::printf("%lu %lld\n", after - 1, at);
        if (interval) ::Sleep(interval);
    }
    api.CloseEventLog(log);
    api.DeregisterEventSource(source);
    return 0;
}
