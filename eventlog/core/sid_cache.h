// The account texts of recently seen SIDs, shared by all records of one reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lorvex {

class SidCache {
public:
    explicit SidCache(size_t capacity) : capacity_(capacity) {}

    // The text of a cached SID, searching newest first.
    std::optional<std::wstring> Find(const uint8_t* sid, size_t sid_length) const;

    // Stores a copy of the SID (sid_length bytes) and its text in the entry after the newest;
    // when full this replaces the oldest. False when the capacity is 0 or the SID is empty.
    bool Add(const uint8_t* sid, size_t sid_length, const std::wstring& text);

    void Clear();
    size_t count() const { return count_; }

private:
    struct Entry {
        std::vector<uint8_t> sid;
        std::wstring text;
    };
    size_t capacity_;
    std::vector<Entry> entries_;  // allocated on the first Add
    size_t count_ = 0;
    size_t next_ = 0;
};

}  // namespace lorvex
