#include "raw_record.h"

#include <cstring>

namespace lorvex {
namespace {

uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// A zero-terminated text that starts at pos and ends before limit.
bool TextAt(const uint8_t* bytes, size_t pos, size_t limit, std::string_view* out, size_t* next) {
    if (pos > limit) return false;
    const void* nul = std::memchr(bytes + pos, 0, limit - pos);
    if (!nul) return false;
    size_t end = static_cast<size_t>(static_cast<const uint8_t*>(nul) - bytes);
    *out = std::string_view(reinterpret_cast<const char*>(bytes + pos), end - pos);
    *next = end + 1;
    return true;
}

bool Inside(uint32_t offset, uint32_t length, size_t limit) {
    return offset <= limit && length <= limit - offset;
}

}  // namespace

bool ParseRawRecord(const uint8_t* bytes, size_t size, RawRecord* out) {
    if (!bytes || size < kRawRecordHeaderSize) return false;
    RawRecord r;
    r.length = U32(bytes);
    if (r.length < kRawRecordHeaderSize || r.length > size) return false;
    const size_t limit = r.length;
    r.record_number = U32(bytes + 8);
    r.time_generated = U32(bytes + 12);
    r.time_written = U32(bytes + 16);
    r.event_id = U32(bytes + 20);
    r.event_type = U16(bytes + 24);
    const uint16_t num_strings = U16(bytes + 26);
    r.event_category = U16(bytes + 28);
    const uint32_t string_offset = U32(bytes + 36);
    r.sid_length = U32(bytes + 40);
    const uint32_t sid_offset = U32(bytes + 44);
    r.data_length = U32(bytes + 48);
    const uint32_t data_offset = U32(bytes + 52);

    size_t next = 0;
    if (!TextAt(bytes, kRawRecordHeaderSize, limit, &r.source_name, &next)) return false;
    if (!TextAt(bytes, next, limit, &r.computer_name, &next)) return false;

    if (r.sid_length != 0) {
        if (!Inside(sid_offset, r.sid_length, limit)) return false;
        r.sid = bytes + sid_offset;
    }
    if (num_strings != 0) {
        size_t pos = string_offset;
        for (uint16_t i = 0; i < num_strings; ++i) {
            std::string_view s;
            if (!TextAt(bytes, pos, limit, &s, &pos)) return false;
            r.strings.push_back(s);
        }
    }
    if (r.data_length != 0) {
        if (!Inside(data_offset, r.data_length, limit)) return false;
        r.data = bytes + data_offset;
    }
    *out = std::move(r);
    return true;
}

}  // namespace lorvex
