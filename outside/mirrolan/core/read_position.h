// Where a log monitor stands in its log: the number of the next entry to take, kept
// across checks so that every entry written after the start is taken once, in order.
#pragma once

#include <cstdint>
#include <optional>

namespace mirrolan {

// What one check of the log sees: its oldest record number and its record count.
struct LogWindow {
    uint32_t oldest = 0;
    uint32_t count = 0;
};

class ReadPosition {
public:
    // Starts after the entries the log holds now.
    explicit ReadPosition(LogWindow now) : next_(now.count ? uint64_t{now.oldest} + now.count : 0) {}

    // The next record number to take within `now`, advancing past it; empty when
    // everything up to the newest entry has been taken. A cleared log starts again at its
    // oldest entry; entries overwritten before they were taken are skipped.
    std::optional<uint32_t> Take(LogWindow now) {
        if (now.count == 0) {
            next_ = 0;
            return std::nullopt;
        }
        const uint64_t last = uint64_t{now.oldest} + now.count - 1;
        if (next_ > last + 1 || next_ < now.oldest) next_ = now.oldest;
        if (next_ > last) return std::nullopt;
        return static_cast<uint32_t>(next_++);
    }

    uint64_t next() const { return next_; }

private:
    uint64_t next_;
};

}  // namespace mirrolan
