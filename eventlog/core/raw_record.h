// The raw EVENTLOGRECORD layout that ReadEventLogA returns, taken apart with every
// offset and length checked against the record's own size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace lorvex {

struct RawRecord {
    uint32_t length = 0;
    uint32_t record_number = 0;
    uint32_t time_generated = 0;
    uint32_t time_written = 0;
    uint32_t event_id = 0;
    uint16_t event_type = 0;
    uint16_t event_category = 0;
    std::string_view source_name;    // ANSI, without its terminating zero
    std::string_view computer_name;
    const uint8_t* sid = nullptr;     // null when the entry has none
    uint32_t sid_length = 0;
    std::vector<std::string_view> strings;
    const uint8_t* data = nullptr;
    uint32_t data_length = 0;
};

// Size of the fixed header that precedes the variable part.
constexpr size_t kRawRecordHeaderSize = 56;

// Decodes bytes[0..size) as one record. Fails (returns false) when the record's length
// field or any offset, length or text runs outside the record or the given bytes.
bool ParseRawRecord(const uint8_t* bytes, size_t size, RawRecord* out);

}  // namespace lorvex
