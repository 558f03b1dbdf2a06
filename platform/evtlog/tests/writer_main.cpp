// Child process of the multi-process tests: reports COUNT events "TAG i" to a source;
// given HOLD, it then keeps the log open for that many milliseconds and reports COUNT
// more.
//   evtlog_test_writer.exe SOURCE TAG COUNT [HOLD]
// Exit code 0, or the last error of a failed RegisterEventSourceA.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/evtlog/evtapi.h"

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) return 2;
    const auto& api = vantrel::evtapi::Get();
    HANDLE h = api.RegisterEventSourceA(nullptr, argv[1]);
    if (!h) return int(GetLastError());
    int count = std::atoi(argv[3]);
    const int hold = argc == 5 ? std::atoi(argv[4]) : -1;
    for (int i = 0; i < (hold < 0 ? count : 2 * count); ++i) {
        if (i == count) Sleep(DWORD(hold));
        std::string text = std::string(argv[2]) + " " + std::to_string(i);
        LPCSTR strings[] = {text.c_str()};
        if (!api.ReportEventA(h, EVENTLOG_INFORMATION_TYPE, 0, DWORD(i), nullptr, 1, 0, strings, nullptr)) {
            std::fprintf(stderr, "report %d failed: %lu\n", i, GetLastError());
            return 4;
        }
    }
    api.DeregisterEventSource(h);
    return 0;
}
