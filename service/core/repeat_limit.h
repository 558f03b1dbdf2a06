// How often the same text is said again: the first time each distinct text comes, then at
// most once an interval for that text. Used for the mail control's errors, which would
// otherwise fill the Application log with one warning per notification.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace quenloc {

constexpr uint64_t kHourMs = 60ull * 60 * 1000;

class RepeatLimit {
public:
    // At most `max_texts` texts are remembered: a text not said for a whole interval is
    // forgotten (it would be said anyway), and beyond that the one said longest ago goes, so
    // memory stays bounded whatever texts come.
    explicit RepeatLimit(uint64_t interval_ms, size_t max_texts = 256)
        : interval_ms_(interval_ms), max_texts_(max_texts ? max_texts : 1) {}

    // True when `text` is to be said at `now_ms` (a clock that never goes back), and then
    // counts it as said.
    bool Allow(const std::string& text, uint64_t now_ms);
    // True when `text` was said within the interval before `now_ms`.
    bool Said(const std::string& text, uint64_t now_ms) const;

private:
    uint64_t interval_ms_;
    size_t max_texts_;
    std::map<std::string, uint64_t> said_;  // text: when it was said last
};

}  // namespace quenloc
