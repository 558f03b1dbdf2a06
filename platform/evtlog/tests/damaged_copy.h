// A copy of an event-log file with one record damaged inside: its framing (both lengths,
// signature, number) intact, so the log still opens, but its strings pointing far outside
// it, so the record itself cannot be decoded. For the tests of readers meeting such a log.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/evtlog/core/evt_ring.h"

namespace vantrel::evtlog::test {

inline bool WriteDamagedCopy(const std::string& from, const std::string& to, uint32_t number) {
    std::ifstream in(from, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    evt::MemoryStorage s(std::move(bytes));
    evt::Header h;
    uint32_t size = 0;
    evt::RecordIndex index;
    if (evt::LoadHeader(s, h, size, false) || index.Refresh(s, h, size) || !index.Has(number)) return false;
    uint8_t strings[2] = {1, 0};
    uint8_t offset[4] = {0xF0, 0xFF, 0xFF, 0xFF};
    if (!evt::RingWrite(s, size, evt::RingAdvance(index.Offset(number), 26, size), strings, 2) ||
        !evt::RingWrite(s, size, evt::RingAdvance(index.Offset(number), 36, size), offset, 4))
        return false;
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(s.bytes().data()), std::streamsize(s.bytes().size()));
    return bool(out);
}

}  // namespace vantrel::evtlog::test
