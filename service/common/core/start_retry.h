// Starting a program again when the start failed for a passing reason.
#pragma once

#include <functional>

namespace vantrel::common {

// How often a start is tried, and the pauses between the tries (in milliseconds).
constexpr int kStartAttempts = 4;
constexpr unsigned kStartPausesMs[kStartAttempts - 1] = {50, 200, 800};

// Calls attempt() until it returns 0 (started) or a lasting error (the file or its folder
// missing, access denied, not a program), at most kStartAttempts times, with pause(ms)
// between the tries. A start can fail for a moment when the system is short of a resource,
// or when the new process dies while it is being set up (seen under load); a notification
// must not be lost to that. Returns 0 or the last error code.
unsigned long StartWithRetries(const std::function<unsigned long()>& attempt,
                               const std::function<void(unsigned)>& pause);

}  // namespace vantrel::common
