// When a message that could not be sent for a passing reason (no connection, no answer
// in time, a 4xx reply) is tried again, and when it is given up. The messages of one
// control go out in the order they were handed over: while the oldest waits for its next
// try, the others wait behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/settings_table.h"

namespace velmsendmail {

// How long a message is tried after it was handed over, unless the control's key or its
// owner says otherwise (0: one try only).
constexpr unsigned kRetryWindowSeconds =
    vantrel::common::FallbackNumber(vantrel::common::SettingId::RetryWindowSeconds);
constexpr unsigned kMaxRetryWindowSeconds = 3600;
// How many messages may wait for the server; one more fails at once.
constexpr size_t kQueueBound = 2000;

// A reply code that says "not now" rather than "no".
inline bool IsPassingReply(int code) { return code >= 400 && code <= 499; }

// When to try a message again, in ms on the same clock as handed_ms and now_ms, after
// `failures` tries failed for a passing reason (1 after the first): 1 s, then twice as
// long each time up to a minute, and once more at the end of the window. Nothing when
// the window is over.
std::optional<uint64_t> NextTry(uint64_t handed_ms, uint64_t now_ms, unsigned failures, unsigned window_seconds);

// The Error text of a message given up after `tries` tries within its window.
std::string GiveUpText(const std::string& last_error, unsigned tries, unsigned window_seconds);

// A message whose whole text went out without an answer to its end is tried this many
// times at most: the server may have stored it each time.
constexpr unsigned kMostUnansweredEnds = 2;

// The Error text of a message given up because its end was not answered, after `tries`.
std::string UnansweredEndText(const std::string& last_error, unsigned tries);

// The Error text of a message that finds the queue full.
std::string QueueFullText();

}  // namespace velmsendmail
