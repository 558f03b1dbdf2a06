// Where a monitor keeps, per program and log, the last entry it raised, so that after an
// end that was not clean (the process killed or crashed) it can raise what came after
// it. HKLM\SOFTWARE\Mirrolan\Resume\<program file name>\<log name>: "LastEntry" (text:
// the entry's number, time written, event id and source), "LastRaised" (DWORD, the
// number alone, as earlier versions keep and read it) and "Clean" (DWORD, 1 after a clean
// stop).
#pragma once

#include <windows.h>

#include <string>

#include "core/resume_plan.h"
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

    // How the last monitor of this log and program ended; kNone when nothing is kept.
    PreviousEnd Previous() const;

    // Keeps `last` as the last entry raised; `clean` only at a clean stop.
    void Save(const MarkedEntry& last, bool clean);

private:
    std::wstring in_use_;  // the log this one holds the place of, upper-cased
    vantrel::RegKey key_;
    bool unclean_ = false;  // "Clean" is 0 now
};

}  // namespace mirrolan
