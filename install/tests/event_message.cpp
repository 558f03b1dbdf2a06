// event_message SOURCE ID TEXT...: formats message ID of an Application log source with the
// texts as its insertion strings, through the message file the source is registered with,
// as the event viewer does. Prints the message; exit 1 with the reason when it cannot.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/winapi/handles.h"

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const std::string key = std::string("SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\") + argv[1];
    char file[MAX_PATH] = "";
    DWORD size = sizeof file;
    LONG r = ::RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "EventMessageFile", RRF_RT_REG_SZ,
                            nullptr, file, &size);
    if (r != ERROR_SUCCESS) {
        std::fprintf(stderr, "event_message: no message file registered for %s: error %ld\n", argv[1], r);
        return 1;
    }
    vantrel::Module module(::LoadLibraryExA(file, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) {
        std::fprintf(stderr, "event_message: cannot load %s: error %lu\n", file, ::GetLastError());
        return 1;
    }
    std::vector<DWORD_PTR> strings;
    for (int i = 3; i < argc; ++i) strings.push_back(reinterpret_cast<DWORD_PTR>(argv[i]));
    char* text = nullptr;
    const DWORD id = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10));
    if (!::FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                          module.get(), id, 0, reinterpret_cast<char*>(&text), 0,
                          reinterpret_cast<va_list*>(strings.data()))) {
        std::fprintf(stderr, "event_message: %s has no message %lu: error %lu\n", file, id, ::GetLastError());
        return 1;
    }
    vantrel::LocalMemory owned(text);
    std::printf("%s", text);
    return 0;
}
