// The error log: one complete report of a trapped error, appended to a text file.
#pragma once

#include <string>

#include "trap_state.h"

namespace trap {

// The log file used when no log path is set (relative: the current directory).
constexpr const char* kDefaultErrorLog = "HollinError.log";

// The report as it goes into the file, stamped with `start` and `stop`.
std::string FormatErrorLog(const TrapState& s, const StampTime& start, const StampTime& stop);

// Appends the report to the log path of the settings. Never reports a failure.
void WriteErrorLog(TrapState& s, TrapPlatform& p);

// The text before the first " << " (the whole text when it has none).
std::string CutAtMark(const std::string& text);

}  // namespace trap
