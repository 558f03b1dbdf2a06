// read_events LOG SOURCE: prints every entry of one source in a log, oldest first, one line
// each: the record number, the type number and the insertion strings, joined by " | ".
// Control characters in the strings are printed as "^" and a letter, so one entry stays
// one line. Exit 0 when the log could be read.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/evtlog/evtapi.h"

namespace {

std::string Visible(const char* text, size_t length) {
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20) {
            out += '^';
            out += static_cast<char>('@' + c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// One record of the buffer, every offset checked against the record's own length.
void PrintRecord(const char* bytes, DWORD length, const std::string& wanted) {
    if (length < sizeof(EVENTLOGRECORD)) return;
    EVENTLOGRECORD head;
    std::memcpy(&head, bytes, sizeof head);
    const char* end = bytes + length;
    const char* source = bytes + sizeof(EVENTLOGRECORD);
    const char* source_end = static_cast<const char*>(std::memchr(source, 0, static_cast<size_t>(end - source)));
    if (!source_end || std::string(source, source_end) != wanted) return;
    std::string line = std::to_string(head.RecordNumber) + " | " + std::to_string(head.EventType);
    if (head.StringOffset <= length) {
        const char* s = bytes + head.StringOffset;
        for (WORD n = 0; n < head.NumStrings && s < end; ++n) {
            const char* z = static_cast<const char*>(std::memchr(s, 0, static_cast<size_t>(end - s)));
            if (!z) break;
            line += " | " + Visible(s, static_cast<size_t>(z - s));
            s = z + 1;
        }
    }
    std::printf("%s\n", line.c_str());
}

// The Security log opens only with this privilege enabled, as for any reader.
void EnableSecurityPrivilege() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) return;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (::LookupPrivilegeValueA(nullptr, "SeSecurityPrivilege", &privileges.Privileges[0].Luid))
        ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    ::CloseHandle(token);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: read_events LOG SOURCE\n");
        return 2;
    }
    EnableSecurityPrivilege();
    const auto& api = vantrel::evtapi::Get();
    HANDLE log = api.OpenEventLogA(nullptr, argv[1]);
    if (!log) {
        std::fprintf(stderr, "OpenEventLog failed: %lu\n", ::GetLastError());
        return 1;
    }
    std::vector<char> buffer(0x10000);
    int status = 0;
    for (;;) {
        DWORD got = 0, needed = 0;
        if (!api.ReadEventLogA(log, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ, 0, buffer.data(),
                               static_cast<DWORD>(buffer.size()), &got, &needed)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_INSUFFICIENT_BUFFER && needed > buffer.size()) {
                buffer.resize(needed);
                continue;
            }
            if (error != ERROR_HANDLE_EOF) {
                std::fprintf(stderr, "ReadEventLog failed: %lu\n", error);
                status = 1;
            }
            break;
        }
        for (DWORD at = 0; at + sizeof(DWORD) <= got;) {
            DWORD length = 0;
            std::memcpy(&length, buffer.data() + at, sizeof length);
            if (length < sizeof(EVENTLOGRECORD) || length > got - at) break;
            PrintRecord(buffer.data() + at, length, argv[2]);
            at += length;
        }
    }
    api.CloseEventLog(log);
    return status;
}
