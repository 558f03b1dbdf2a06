// end_senders.exe FOLDER SECONDS: ends the syslog senders that run from FOLDER, before an
// installation replaces the program they hold open. A sender that waits for its receiver
// is asked to end once its spool is saved; the others (one still on its first delivery,
// whose message is in no spool yet, or the manager's test sender) get SECONDS to finish.
// Only those still running then are ended, and it says so. Exit 0, or 1 when it had to
// end some, 2 for bad arguments.
#include <windows.h>
#include <tlhelp32.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/winapi/handles.h"
#include "sender_events.h"
#include "spool_file.h"

namespace {

constexpr char kSenderName[] = "syslogsend.exe";

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The senders whose program lies in the folder; one whose program cannot be named is
// counted in, since it may hold the file.
std::vector<vantrel::Handle> Senders(const std::string& folder) {
    std::vector<vantrel::Handle> found;
    vantrel::FileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return found;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more; more = ::Process32Next(snapshot.get(), &entry)) {
        if (Lower(entry.szExeFile) != kSenderName) continue;
        vantrel::Handle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION,
                                              FALSE, entry.th32ProcessID));
        if (!process) continue;
        char path[MAX_PATH * 2];
        DWORD size = sizeof(path);
        if (::QueryFullProcessImageNameA(process.get(), 0, path, &size)) {
            std::string image(path, size);
            const size_t slash = image.find_last_of('\\');
            if (slash != std::string::npos && Lower(image.substr(0, slash)) != folder) continue;
        }
        found.push_back(std::move(process));
    }
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::puts("usage: end_senders.exe FOLDER SECONDS");
        return 2;
    }
    std::string folder = Lower(argv[1]);
    while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    const ULONGLONG patience = std::strtoul(argv[2], nullptr, 10) * 1000ull;
    if (Senders(folder).empty()) return 0;

    vantrel::Handle request = syslogsend::GlobalEvent(syslogsend::kEndRequestEvent);
    if (request) ::SetEvent(request.get());
    const ULONGLONG start = ::GetTickCount64();
    std::vector<vantrel::Handle> left = Senders(folder);
    while (!left.empty() && ::GetTickCount64() - start < patience) {
        ::Sleep(200);
        left = Senders(folder);
    }
    for (const auto& process : left) {
        ::TerminateProcess(process.get(), 1);
        // The program file is free only once the process is gone.
        ::WaitForSingleObject(process.get(), 5000);
    }
    // Senders started after the installation must not find the request still made.
    if (request) ::ResetEvent(request.get());
    if (left.empty()) return 0;
    std::printf("Ended %u syslog sender(s) still running after %s s; a message they carried may be lost.\n",
                static_cast<unsigned>(left.size()), argv[2]);
    return 1;
}
