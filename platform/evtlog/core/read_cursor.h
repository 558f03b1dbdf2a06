// ReadEventLogA's reading rules over an indexed log: sequential and seek reads, forwards
// and backwards, as many whole ANSI records as fit, and the needed size when not even
// the first one fits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/evtlog/core/ansi_record.h"
#include "platform/evtlog/core/evt_ring.h"

namespace vantrel::evt {

inline constexpr uint32_t kSequentialRead = 0x1;
inline constexpr uint32_t kSeekRead = 0x2;
inline constexpr uint32_t kForwardsRead = 0x4;
inline constexpr uint32_t kBackwardsRead = 0x8;

// One of sequential and seek, and one of forwards and backwards.
bool ValidReadFlags(uint32_t flags);

// A handle's reading position: the record the next sequential read starts at.
struct Cursor {
    bool positioned = false;
    uint32_t next = 0;
};

struct ReadResult {
    uint32_t error = err::kOk;
    uint32_t bytesRead = 0;
    uint32_t needed = 0;  // set with kInsufficientBuffer
};

class RecordReader {
public:
    // The index must be fresh for h. A null buffer is an invalid parameter; a buffer too
    // small for the first record gives kInsufficientBuffer with its ANSI size and leaves
    // the cursor where it was. A record that does not parse ends a read after the records
    // before it; a read that starts at it gives kFileCorrupt.
    ReadResult Read(Storage& s, const Header& h, uint32_t fileSize, const RecordIndex& index,
                    Cursor& cursor, uint32_t flags, uint32_t recordNumber, uint8_t* buffer,
                    uint32_t size, const AnsiConverter& converter);

private:
    std::vector<uint8_t> stored_;
    std::string ansi_;
    RecordTexts texts_;
};

}  // namespace vantrel::evt
