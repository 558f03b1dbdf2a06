// Another program that holds the spool the way viewers, backup agents and scanners do, or
// a sender stuck with the spool's lock:
//   spool_holder.exe HOW TARGET SIGNALS
// HOW is "lock" (TARGET: the programs' folder, whose spool lock it holds) or ACCESS:SHARE
// for the file TARGET, ACCESS of "r" and "w", SHARE of "r", "w" and "d" (e.g. "rw:rwd",
// "r:rw", "r:" for none). Once it holds, it makes the file SIGNALS.held; it lets go once
// SIGNALS.release exists. Exit 0 when released, 2 when it could not hold, 3 for bad
// arguments, 4 when nobody released it within ten minutes.
#include <windows.h>

#include <string>

#include "spool_file.h"

namespace {

bool Has(const std::string& letters, char c) { return letters.find(c) != std::string::npos; }

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

int HoldUntilReleased(const std::string& signals) {
    vantrel::FileHandle(::CreateFileA((signals + ".held").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    for (int i = 0; i < 10 * 60 * 20; ++i) {
        if (Exists(signals + ".release")) return 0;
        ::Sleep(50);
    }
    return 4;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 3;
    const std::string how = argv[1], target = argv[2], signals = argv[3];
    if (how == "lock") {
        syslogsend::SpoolFile spool(target);
        if (!spool.usable()) return 2;
        syslogsend::SpoolFile::Lock lock(spool);
        return lock.held() ? HoldUntilReleased(signals) : 2;
    }
    const size_t colon = how.find(':');
    if (colon == std::string::npos) return 3;
    const std::string access = how.substr(0, colon), share = how.substr(colon + 1);
    vantrel::FileHandle file(::CreateFileA(
        target.c_str(), (Has(access, 'r') ? GENERIC_READ : 0) | (Has(access, 'w') ? GENERIC_WRITE : 0),
        (Has(share, 'r') ? FILE_SHARE_READ : 0) | (Has(share, 'w') ? FILE_SHARE_WRITE : 0) |
            (Has(share, 'd') ? FILE_SHARE_DELETE : 0),
        nullptr, OPEN_EXISTING, 0, nullptr));
    return file ? HoldUntilReleased(signals) : 2;
}
