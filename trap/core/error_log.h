// The error log: one complete report of a trapped error, appended to a text file.
#pragma once

#include <functional>
#include <string>

#include "trap_state.h"

namespace trap {

// The log file used when no log path is set (relative: the current directory).
constexpr const char* kDefaultErrorLog = "HollinError.log";

// The report as it goes into the file, stamped with `start` and `stop`.
std::string FormatErrorLog(const TrapState& s, const StampTime& start, const StampTime& stop);

// Takes over the report text gathered so far (and empties it).
using ErrorLogFlush = std::function<void(std::string& text)>;

// The same report appended to `out`. With `flush`, `out` is handed on whenever it holds
// more than a chunk and once at the end: a deep call tree's report (its indentation grows
// with the depth, to megabytes) then never has to be held whole.
void AppendErrorLog(const TrapState& s, const StampTime& start, const StampTime& stop, std::string& out,
                    const ErrorLogFlush& flush = nullptr);

// Appends the report to the log path of the settings. Never reports a failure.
void WriteErrorLog(TrapState& s, TrapPlatform& p);

// The text before the first " << " (the whole text when it has none).
std::string CutAtMark(const std::string& text);

}  // namespace trap
