// Throughput of the event-log functions of this process's backend (vteventlog.dll under
// Wine): ReportEventA, then sequential ReadEventLogA with a 64 KiB buffer, over N records.
//   evtlog_bench.exe [N]        (default 100000)
// Uses a scratch log "VantrelBench" in the registry, removed again at the end.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/evtlog/evtapi.h"

namespace {

const char kKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\VantrelBench";

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
    const auto& api = vantrel::evtapi::Get();
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string file = std::string(temp) + "VantrelBench.evt";
    DeleteFileA(file.c_str());
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)) {
        std::fprintf(stderr, "cannot create the bench log's key\n");
        return 1;
    }
    DWORD maxSize = 256u << 20, retention = 0;
    RegSetValueExA(key, "File", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(file.c_str()), DWORD(file.size() + 1));
    RegSetValueExA(key, "MaxSize", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&maxSize), 4);
    RegSetValueExA(key, "Retention", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&retention), 4);
    RegCloseKey(key);

    int status = 0;
    HANDLE source = api.RegisterEventSourceA(nullptr, "VantrelBench");
    HANDLE log = api.OpenEventLogA(nullptr, "VantrelBench");
    if (!source || !log) {
        std::fprintf(stderr, "open failed: %lu\n", GetLastError());
        status = 1;
    } else {
        std::string s1 = "The service entered the running state.", s2 = "Quenloc";
        LPCSTR strings[] = {s1.c_str(), s2.c_str()};
        BYTE data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < n && status == 0; ++i)
            if (!api.ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 1, 7036, nullptr, 2, sizeof data, strings, data)) {
                std::fprintf(stderr, "ReportEventA %d failed: %lu\n", i, GetLastError());
                status = 1;
            }
        double write = Seconds(t0);

        std::vector<BYTE> buffer(64 * 1024);
        long long records = 0;
        t0 = std::chrono::steady_clock::now();
        for (;;) {
            DWORD read = 0, needed = 0;
            if (!api.ReadEventLogA(log, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ, 0, buffer.data(),
                                   DWORD(buffer.size()), &read, &needed))
                break;
            for (DWORD at = 0; at < read; at += reinterpret_cast<EVENTLOGRECORD*>(&buffer[at])->Length) ++records;
        }
        double readTime = Seconds(t0);
        if (GetLastError() != ERROR_HANDLE_EOF || records != n) {
            std::fprintf(stderr, "read %lld of %d records (last error %lu)\n", records, n, GetLastError());
            status = 1;
        }
        std::printf("ReportEventA:  %d records in %.3f s = %.0f records/s\n", n, write, n / write);
        std::printf("ReadEventLogA: %lld records in %.3f s = %.0f records/s (sequential, 64 KiB buffer)\n",
                    records, readTime, records / readTime);
    }
    if (log) api.CloseEventLog(log);
    if (source) api.DeregisterEventSource(source);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
    DeleteFileA(file.c_str());
    return status;
}
