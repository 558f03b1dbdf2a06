// Where a monitor keeps, per program and log, the number of the last entry it raised,
// so that after an end that was not clean (the process killed or crashed) it can raise
// what came after it. HKLM\SOFTWARE\Mirrolan\Resume\<program file name>\<log name>:
// "LastRaised" (DWORD) and "Clean" (DWORD, 1 after a clean stop).
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/winapi/handles.h"

namespace mirrolan {

class ResumeMark {
public:
    // Opens the place of this program and log, creating it; without it nothing is kept.
    // Only the first of several monitors of one log in a process has the place: the
    // others neither resume nor keep anything.
    explicit ResumeMark(const std::wstring& log_name);
    ~ResumeMark();
    ResumeMark(const ResumeMark&) = delete;
    ResumeMark& operator=(const ResumeMark&) = delete;

    // The last entry raised before an end that was not clean; empty after a clean stop
    // or when nothing was kept.
    std::optional<uint32_t> UncleanEnd() const;

    // Keeps `last` as the last entry raised; `clean` only at a clean stop.
    void Save(uint32_t last, bool clean);

private:
    std::wstring in_use_;  // the log this one holds the place of, upper-cased
    vantrel::RegKey key_;
    bool unclean_ = false;  // "Clean" is 0 now
};

}  // namespace mirrolan
