#include "sid_cache.h"

#include <algorithm>

namespace lorvex {

std::optional<std::wstring> SidCache::Find(const uint8_t* sid, size_t sid_length) const {
    size_t index = next_;
    for (size_t step = 0; step < count_; ++step) {
        index = (index == 0 ? count_ : index) - 1;
        const Entry& e = entries_[index];
        if (e.sid.size() == sid_length && std::equal(e.sid.begin(), e.sid.end(), sid)) return e.text;
    }
    return std::nullopt;
}

bool SidCache::Add(const uint8_t* sid, size_t sid_length, const std::wstring& text) {
    if (capacity_ == 0 || !sid || sid_length == 0) return false;
    if (entries_.empty()) entries_.resize(capacity_);
    Entry& e = entries_[next_];
    e.sid.assign(sid, sid + sid_length);
    e.text = text;
    if (count_ < capacity_) ++count_;
    next_ = (next_ + 1) % capacity_;
    return true;
}

void SidCache::Clear() {
    entries_.clear();
    entries_.shrink_to_fit();
    count_ = 0;
    next_ = 0;
}

}  // namespace lorvex
