// Entries taken out of the log ahead of their notification. A full log overwrites its
// oldest entries, so a monitor copies new ones here the moment it sees them and raises
// them from here at the pace its client allows. The queue is bounded: the monitor stops
// taking while it is full. Entries lost on the way (the log overwrote them first, or no
// memory was left to keep one) are counted, and each loss is reported once, when it has
// ended.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <new>
#include <optional>
#include <utility>

namespace mirrolan {

template <class Entry>
class EntryQueue {
public:
    explicit EntryQueue(size_t capacity) : capacity_(capacity) {}

    bool full() const { return entries_.size() >= capacity_; }
    bool empty() const { return entries_.empty(); }
    size_t size() const { return entries_.size(); }
    size_t capacity() const { return capacity_; }

    // Keeps the entry for raising, or counts it as dropped when the queue is full (or no
    // memory is left to keep it).
    void Offer(Entry entry) {
        if (full()) {
            Drop();
            return;
        }
        try {
            entries_.push_back(std::move(entry));
        } catch (const std::bad_alloc&) {
            Drop();
        }
    }
    // Entries lost before they could wait here.
    void Drop(uint64_t count = 1) {
        if (!count) return;
        dropped_ += count;
        dropped_this_round_ = true;
    }
    // Losses not reported yet.
    bool pending() const { return dropped_ != 0; }

    // The oldest and the newest waiting entry; the queue must not be empty.
    const Entry& front() const { return entries_.front(); }
    const Entry& back() const { return entries_.back(); }

    // The oldest waiting entry, removed from the queue.
    std::optional<Entry> Next() {
        if (entries_.empty()) return std::nullopt;
        std::optional<Entry> e(std::move(entries_.front()));
        entries_.pop_front();
        return e;
    }

    // Ends one look at the log, at time `now`. Returns how many entries were lost once a
    // look loses nothing after one that did (the loss is over) and at least `spacing` has
    // passed since the last report, else 0; so a client that falls behind for a while
    // hears one number, not one per look.
    uint64_t EndRound(uint64_t now = 0, uint64_t spacing = 0) {
        if (dropped_this_round_) {
            dropped_this_round_ = false;
            return 0;
        }
        if (!dropped_ || (reported_ && now - last_report_ < spacing)) return 0;
        reported_ = true;
        last_report_ = now;
        return std::exchange(dropped_, 0);
    }

    // Forgets the waiting entries; returns the drops not reported yet, so that the last
    // overflow is still told when the monitor stops in the middle of it.
    uint64_t Clear() {
        entries_.clear();
        dropped_this_round_ = false;
        return std::exchange(dropped_, 0);
    }

private:
    size_t capacity_;
    std::deque<Entry> entries_;
    uint64_t dropped_ = 0;
    bool dropped_this_round_ = false;
    bool reported_ = false;
    uint64_t last_report_ = 0;
};

}  // namespace mirrolan
