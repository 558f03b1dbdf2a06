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

// Record numbers first..end-1, which the log overwrote before they were taken.
struct Gap {
    uint64_t first = 0;
    uint64_t end = 0;
    uint64_t size() const { return end - first; }
};

class ReadPosition {
public:
    // Starts after the entries the log holds now. (A cleared log numbers from 1 again.)
    explicit ReadPosition(LogWindow now) : next_(now.count ? uint64_t{now.oldest} + now.count : 1) {}

    // Starts at the entry numbered `next`.
    static ReadPosition At(uint64_t next) {
        ReadPosition p(LogWindow{});
        p.next_ = next;
        return p;
    }

    // Comes up to `now`. A cleared log starts again at its oldest entry; entries the log
    // overwrote before they were taken are skipped, and returned as the gap.
    Gap Sync(LogWindow now) {
        if (now.count == 0) {
            next_ = 1;
            return {};
        }
        const uint64_t last = uint64_t{now.oldest} + now.count - 1;
        if (next_ > last + 1) {  // cleared, and fewer entries written since than before
            next_ = now.oldest;
            return {};
        }
        if (next_ >= now.oldest) return {};
        Gap gap{next_, now.oldest};
        next_ = now.oldest;
        return gap;
    }

    // The next record number to take within `now`, advancing past it; empty when
    // everything up to the newest entry has been taken. Skips what Sync skips.
    std::optional<uint32_t> Take(LogWindow now) {
        Sync(now);
        if (now.count == 0 || next_ > uint64_t{now.oldest} + now.count - 1) return std::nullopt;
        return static_cast<uint32_t>(next_++);
    }

    uint64_t next() const { return next_; }

private:
    uint64_t next_;
};

}  // namespace mirrolan
