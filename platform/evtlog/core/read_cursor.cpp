#include "platform/evtlog/core/read_cursor.h"

#include <algorithm>
#include <cstring>

namespace vantrel::evt {

bool ValidReadFlags(uint32_t flags) {
    const uint32_t mode = flags & (kSequentialRead | kSeekRead);
    const uint32_t direction = flags & (kForwardsRead | kBackwardsRead);
    return (mode == kSequentialRead || mode == kSeekRead) && (direction == kForwardsRead || direction == kBackwardsRead);
}

ReadResult RecordReader::Read(Storage& s, const Header& h, uint32_t fileSize,
                              const RecordIndex& index, Cursor& cursor, uint32_t flags,
                              uint32_t recordNumber, uint8_t* buffer, uint32_t size,
                              const AnsiConverter& converter) {
    ReadResult r;
    if (!buffer || !ValidReadFlags(flags)) {
        r.error = err::kInvalidParameter;
        return r;
    }
    const uint32_t mode = flags & (kSequentialRead | kSeekRead);
    const bool forwards = (flags & kForwardsRead) != 0;
    const uint32_t count = index.Count();
    const uint32_t oldest = index.First();
    const uint32_t newest = oldest + count - 1;

    uint32_t n;
    if (mode == kSeekRead) {
        if (count == 0 || recordNumber < oldest || recordNumber > newest) {
            r.error = count == 0 ? err::kHandleEof : err::kInvalidParameter;
            return r;
        }
        n = recordNumber;
    } else {
        if (count == 0) { r.error = err::kHandleEof; return r; }
        n = cursor.positioned ? cursor.next : (forwards ? oldest : newest);
        // Records overwritten since the last forward read are passed over: reading goes
        // on with the oldest one still in the log.
        if (forwards && cursor.positioned && n < oldest) n = oldest;
        if (n < oldest || n > newest || (cursor.positioned && n == 0)) {
            r.error = err::kHandleEof;
            return r;
        }
    }

    uint32_t last = n;
    bool any = false;
    uint32_t i = n;
    for (;;) {
        // One storage read fetches a run of consecutive records in the reading direction.
        uint64_t budget = std::max<uint64_t>(uint64_t(size - r.bytesRead) * 2 + 4096, 1);
        budget = std::min<uint64_t>(budget, 8u << 20);
        uint32_t lo = i, hi = i;
        uint64_t bytes = index.Size(i, h, fileSize);
        while (true) {
            uint32_t cand = forwards ? hi + 1 : lo - 1;
            bool inRange = forwards ? hi < newest : lo > oldest;
            if (!inRange) break;
            uint64_t add = index.Size(cand, h, fileSize);
            if (bytes + add > budget) break;
            bytes += add;
            if (forwards) hi = cand; else lo = cand;
        }
        stored_.resize(size_t(bytes));
        if (!RingRead(s, fileSize, index.Offset(lo), stored_.data(), uint32_t(bytes))) {
            r.error = err::kFileCorrupt;
            return r;
        }
        // Start of each record of the run inside stored_, relative to record lo.
        bool full = false;
        for (uint32_t k = 0; k <= hi - lo; ++k) {
            uint32_t num = forwards ? lo + k : hi - k;
            uint32_t at = RingDistance(index.Offset(lo), index.Offset(num), fileSize);
            uint32_t len = index.Size(num, h, fileSize);
            RecordView v;
            ansi_.clear();
            if (uint64_t(at) + len > stored_.size() || !ParseRecord(stored_.data() + at, len, v, texts_) ||
                v.length != len || v.recordNumber != num || !AppendAnsiRecord(v, texts_, converter, ansi_)) {
                // A damaged record costs only itself: the records before it are returned,
                // and a read that starts at it fails and moves the sequential position
                // past it, so that reading can go on.
                if (any) {
                    full = true;
                    break;
                }
                r.error = err::kFileCorrupt;
                cursor.positioned = true;
                cursor.next = forwards ? num + 1 : num - 1;
                return r;
            }
            if (ansi_.size() > size - r.bytesRead) {
                if (!any) {
                    r.error = err::kInsufficientBuffer;
                    r.needed = uint32_t(ansi_.size());
                    return r;
                }
                full = true;
                break;
            }
            std::memcpy(buffer + r.bytesRead, ansi_.data(), ansi_.size());
            r.bytesRead += uint32_t(ansi_.size());
            any = true;
            last = num;
        }
        if (full) break;
        if (forwards ? hi >= newest : lo <= oldest) break;
        i = forwards ? hi + 1 : lo - 1;
    }
    cursor.positioned = true;
    cursor.next = forwards ? last + 1 : last - 1;
    return r;
}

}  // namespace vantrel::evt
