// Builds raw ANSI event-log records in memory, laid out as ReadEventLogA returns them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RawRecordSpec {
    uint32_t record_number = 1;
    uint32_t time_generated = 0;
    uint32_t time_written = 0;
    uint32_t event_id = 0;
    uint16_t event_type = 1;
    uint16_t category = 0;
    std::string source = "TestSource";
    std::string computer = "TESTHOST";
    std::vector<uint8_t> sid;
    std::vector<std::string> strings;
    std::vector<uint8_t> data;
};

inline std::vector<uint8_t> BuildRawRecord(const RawRecordSpec& s) {
    std::vector<uint8_t> r(56, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) r[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    auto put16 = [&](size_t at, uint16_t v) {
        r[at] = static_cast<uint8_t>(v);
        r[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    auto text = [&](const std::string& t) {
        r.insert(r.end(), t.begin(), t.end());
        r.push_back(0);
    };
    auto align = [&] {
        while (r.size() % 4) r.push_back(0);
    };
    text(s.source);
    text(s.computer);
    align();
    const uint32_t sid_offset = static_cast<uint32_t>(r.size());
    r.insert(r.end(), s.sid.begin(), s.sid.end());
    const uint32_t string_offset = static_cast<uint32_t>(r.size());
    for (const auto& t : s.strings) text(t);
    const uint32_t data_offset = static_cast<uint32_t>(r.size());
    r.insert(r.end(), s.data.begin(), s.data.end());
    align();
    r.resize(r.size() + 4);
    const uint32_t length = static_cast<uint32_t>(r.size());
    put32(0, length);
    put32(4, 0x654c664c);  // "LfLe"
    put32(8, s.record_number);
    put32(12, s.time_generated);
    put32(16, s.time_written);
    put32(20, s.event_id);
    put16(24, s.event_type);
    put16(26, static_cast<uint16_t>(s.strings.size()));
    put16(28, s.category);
    put32(36, string_offset);
    put32(40, static_cast<uint32_t>(s.sid.size()));
    put32(44, s.sid.empty() ? 0 : sid_offset);
    put32(48, static_cast<uint32_t>(s.data.size()));
    put32(52, data_offset);
    put32(length - 4, length);
    return r;
}

// S-1-5-21-a-b-c-rid, a domain account SID as bytes.
inline std::vector<uint8_t> DomainSid(uint32_t rid, uint32_t domain = 1000) {
    std::vector<uint8_t> sid = {1, 5, 0, 0, 0, 0, 0, 5};
    for (uint32_t v : {21u, domain, 2000u, 3000u, rid})
        for (int i = 0; i < 4; ++i) sid.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return sid;
}
