// The one warning a monitor writes when new entries of its log were lost before it could
// raise them: how many, of which log; also when it could not read where it had stopped.
#pragma once

#include <cstdint>
#include <string>

namespace mirrolan {

// Writes a warning into the Application log under the source "Mirrolan"; a failure to
// write it is not reported further (there is nowhere left to report it).
// With `unknown_start` it says instead that the mark of the last entry raised could not be
// read, so what was written while the monitor was not running is not raised.
void WarnLost(const std::wstring& log_name, uint64_t lost, bool unknown_start = false);

// How many of the entries first..end-1 of a log are warnings this process wrote there:
// a monitor of the Application log does not count its own warnings among its losses
// (which would make each warning the cause of the next). Forgets those up to end.
uint64_t OwnWarningsIn(const std::wstring& log_name, uint64_t first, uint64_t end);

// Whether the entry `number` of a log is a warning this process wrote there.
bool IsOwnWarning(const std::wstring& log_name, uint64_t number);

}  // namespace mirrolan
