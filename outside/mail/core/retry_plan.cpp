#include "core/retry_plan.h"

#include <algorithm>

namespace velmsendmail {

namespace {

constexpr uint64_t kFirstWaitMs = 1000;
constexpr uint64_t kLongestWaitMs = 60000;

std::string Duration(unsigned seconds) {
    if (seconds % 60 == 0) return std::to_string(seconds / 60) + (seconds == 60 ? " minute" : " minutes");
    return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
}

}  // namespace

std::optional<uint64_t> NextTry(uint64_t handed_ms, uint64_t now_ms, unsigned failures, unsigned window_seconds) {
    const uint64_t end = handed_ms + uint64_t{window_seconds} * 1000;
    if (now_ms >= end || failures == 0) return std::nullopt;
    const unsigned doublings = std::min(failures - 1, 16u);
    const uint64_t wait = std::min(kFirstWaitMs << doublings, kLongestWaitMs);
    return std::min(now_ms + wait, end);
}

std::string GiveUpText(const std::string& last_error, unsigned tries, unsigned window_seconds) {
    if (tries <= 1) return last_error;
    return last_error + " (given up after " + std::to_string(tries) + " tries in " + Duration(window_seconds) + ")";
}

std::string UnansweredEndText(const std::string& last_error, unsigned tries) {
    return last_error + " (given up after " + std::to_string(tries) + " tries: the whole message went out " +
           std::to_string(kMostUnansweredEnds) + " times without an answer, and the server may have it)";
}

std::string QueueFullText() {
    return "The message was not sent: " + std::to_string(kQueueBound) +
           " messages already wait for the SMTP server, the most this control keeps";
}

}  // namespace velmsendmail
