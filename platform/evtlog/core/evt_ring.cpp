#include "platform/evtlog/core/evt_ring.h"

#include <algorithm>
#include <cstring>

namespace vantrel::evt {

bool MemoryStorage::Read(uint32_t offset, void* buffer, uint32_t count) {
    if (uint64_t(offset) + count > bytes_.size()) return false;
    if (count) std::memcpy(buffer, bytes_.data() + offset, count);
    return true;
}

bool MemoryStorage::Write(uint32_t offset, const void* buffer, uint32_t count) {
    if (uint64_t(offset) + count > bytes_.size()) bytes_.resize(size_t(offset) + count);
    if (count) std::memcpy(bytes_.data() + offset, buffer, count);
    return true;
}

bool MemoryStorage::Size(uint32_t& size) {
    size = uint32_t(bytes_.size());
    return true;
}

bool MemoryStorage::SetSize(uint32_t size) {
    bytes_.resize(size);
    return true;
}

uint32_t EffectiveMaxSize(uint32_t maxSize) {
    uint64_t rounded = (uint64_t(maxSize) + kSizeStep - 1) / kSizeStep * kSizeStep;
    if (rounded < kSizeStep) rounded = kSizeStep;
    // Offsets are 32-bit; stay well below the top so that ring sums never wrap.
    return uint32_t(std::min<uint64_t>(rounded, 0x7FFF0000));
}

uint32_t RingAdvance(uint32_t offset, uint32_t count, uint32_t fileSize) {
    uint64_t ring = fileSize - kHeaderSize;
    uint64_t pos = uint64_t(offset - kHeaderSize) + count % ring;
    if (pos >= ring) pos -= ring;
    return uint32_t(pos + kHeaderSize);
}

uint32_t RingDistance(uint32_t from, uint32_t to, uint32_t fileSize) {
    return to >= from ? to - from : (fileSize - from) + (to - kHeaderSize);
}

bool RingRead(Storage& s, uint32_t fileSize, uint32_t offset, uint8_t* out, uint32_t count) {
    if (offset < kHeaderSize || offset >= fileSize || count > fileSize - kHeaderSize) return false;
    uint32_t first = std::min(count, fileSize - offset);
    if (!s.Read(offset, out, first)) return false;
    return first == count || s.Read(kHeaderSize, out + first, count - first);
}

bool RingWrite(Storage& s, uint32_t fileSize, uint32_t offset, const uint8_t* in, uint32_t count) {
    if (offset < kHeaderSize || offset >= fileSize || count > fileSize - kHeaderSize) return false;
    uint32_t first = std::min(count, fileSize - offset);
    if (!s.Write(offset, in, first)) return false;
    return first == count || s.Write(kHeaderSize, in + first, count - first);
}

namespace {

uint32_t WriteHeader(Storage& s, const Header& h) {
    uint8_t b[kHeaderSize];
    EncodeHeader(h, b);
    return s.Write(0, b, kHeaderSize) ? err::kOk : err::kFileCorrupt;
}

uint32_t WriteEof(Storage& s, const Header& h, uint32_t fileSize) {
    EofRecord e;
    e.beginRecord = h.startOffset;
    e.endRecord = h.endOffset;
    e.currentRecordNumber = h.currentRecordNumber;
    e.oldestRecordNumber = h.oldestRecordNumber;
    uint8_t b[kEofSize];
    EncodeEof(e, b);
    return RingWrite(s, fileSize, h.endOffset, b, kEofSize) ? err::kOk : err::kFileCorrupt;
}

}  // namespace

uint32_t CreateLog(Storage& s, const Settings& settings, Header& h) {
    h = Header{};
    h.maxSize = EffectiveMaxSize(settings.maxSize);
    h.retention = settings.retention;
    // A file keeps its size (another process may have it mapped, so it never shrinks),
    // but is zeroed, so nothing of an earlier log survives in the new one.
    uint32_t size = 0;
    if (!s.Size(size)) return err::kFileCorrupt;
    if (size < kSizeStep) {
        if (!s.SetSize(kSizeStep)) return err::kFileCorrupt;
        size = kSizeStep;
    }
    static const uint8_t zeros[4096] = {};
    for (uint32_t at = kHeaderSize; at < size; at += sizeof zeros)
        if (!s.Write(at, zeros, std::min<uint32_t>(sizeof zeros, size - at))) return err::kFileCorrupt;
    uint32_t r = WriteEof(s, h, size);
    return r ? r : WriteHeader(s, h);
}

uint32_t LoadHeader(Storage& s, Header& h, uint32_t& fileSize, bool requireClean) {
    uint8_t b[kHeaderSize];
    if (!s.Size(fileSize) || fileSize < kHeaderSize + kEofSize || fileSize > 0x7FFF0000)
        return err::kFileCorrupt;
    if (!s.Read(0, b, kHeaderSize) || !DecodeHeader(b, h)) return err::kFileCorrupt;
    if (requireClean && (h.flags & kFlagDirty)) return err::kFileCorrupt;
    if (h.startOffset < kHeaderSize || h.startOffset >= fileSize) return err::kFileCorrupt;
    if (h.endOffset < kHeaderSize || h.endOffset >= fileSize) return err::kFileCorrupt;
    if (h.currentRecordNumber == 0) return err::kFileCorrupt;
    if (h.oldestRecordNumber != 0 && h.oldestRecordNumber > h.currentRecordNumber)
        return err::kFileCorrupt;
    // Every record takes at least its fixed part, so the count is bounded by the ring.
    uint64_t minimum = uint64_t(h.Count()) * (kRecordFixedSize + 4);
    if (minimum > RingDistance(h.startOffset, h.endOffset, fileSize)) return err::kFileCorrupt;
    return err::kOk;
}

void RecordIndex::Reset() {
    offsets_.clear();
    head_ = 0;
    first_ = 0;
    scanEnd_ = 0;
    startSeen_ = 0;
}

uint32_t RecordIndex::Size(uint32_t number, const Header& h, uint32_t fileSize) const {
    uint32_t next = Has(number + 1) ? Offset(number + 1) : h.endOffset;
    return RingDistance(Offset(number), next, fileSize);
}

uint32_t RecordIndex::FullScan(Storage& s, const Header& h, uint32_t fileSize) {
    Reset();
    if (h.Count() == 0) {
        scanEnd_ = h.endOffset;
        startSeen_ = h.startOffset;
        return err::kOk;
    }
    first_ = h.oldestRecordNumber;
    startSeen_ = h.startOffset;
    return Scan(s, h, fileSize, h.startOffset, h.oldestRecordNumber);
}

// Walks the records from 'from' (which must hold record 'number') to the header's end
// offset, reading the ring in large windows rather than record by record.
uint32_t RecordIndex::Scan(Storage& s, const Header& h, uint32_t fileSize, uint32_t from,
                           uint32_t number) {
    const uint32_t total = RingDistance(from, h.endOffset, fileSize);
    const uint32_t expectedCount = h.currentRecordNumber - number;
    if (offsets_.capacity() - offsets_.size() < expectedCount)
        offsets_.reserve(offsets_.size() + std::min<uint32_t>(expectedCount, total / 60 + 1));
    std::vector<uint8_t> window;
    uint32_t windowStart = 0, windowLen = 0;  // logical positions from 'from'
    constexpr uint32_t kWindow = 1 << 20;
    auto ensure = [&](uint32_t pos, uint32_t len) {
        if (pos >= windowStart && uint64_t(pos) + len <= uint64_t(windowStart) + windowLen) return true;
        uint32_t want = std::min(total - pos, std::max(kWindow, len));
        if (want < len) return false;
        window.resize(want);
        if (!RingRead(s, fileSize, RingAdvance(from, pos, fileSize), window.data(), want)) return false;
        windowStart = pos;
        windowLen = want;
        return true;
    };
    uint32_t pos = 0;
    while (pos < total) {
        if (number == h.currentRecordNumber) return err::kFileCorrupt;  // more bytes than records
        if (!ensure(pos, 8)) return err::kFileCorrupt;
        uint32_t len = Get32(window.data() + (pos - windowStart));
        if (len < kRecordFixedSize + 4 || len % 4 || len > total - pos) return err::kFileCorrupt;
        if (!ensure(pos, len)) return err::kFileCorrupt;
        const uint8_t* r = window.data() + (pos - windowStart);
        if (Get32(r + 4) != kSignature || Get32(r + len - 4) != len || Get32(r + 8) != number)
            return err::kFileCorrupt;
        offsets_.push_back(RingAdvance(from, pos, fileSize));
        pos += len;
        ++number;
    }
    if (number != h.currentRecordNumber) return err::kFileCorrupt;
    scanEnd_ = h.endOffset;
    return err::kOk;
}

uint32_t RecordIndex::Refresh(Storage& s, const Header& h, uint32_t fileSize) {
    uint32_t r = err::kOk;
    if (h.Count() == 0) return FullScan(s, h, fileSize);
    if (Count() == 0 || h.oldestRecordNumber < first_ ||
        h.oldestRecordNumber - first_ > Count() ||
        (h.oldestRecordNumber == first_ && h.startOffset != startSeen_)) {
        r = FullScan(s, h, fileSize);
    } else {
        uint32_t drop = h.oldestRecordNumber - first_;
        head_ += drop;
        first_ = h.oldestRecordNumber;
        if (Count() > 0 && Offset(first_) != h.startOffset) return FullScan(s, h, fileSize);
        startSeen_ = h.startOffset;
        // Compact now and then so that a long-running reader does not grow without bound.
        if (head_ > 4096 && head_ > offsets_.size() / 2) {
            offsets_.erase(offsets_.begin(), offsets_.begin() + std::ptrdiff_t(head_));
            head_ = 0;
        }
        uint32_t next = first_ + Count();
        if (next < h.currentRecordNumber) {
            uint32_t from = Count() ? scanEnd_ : h.startOffset;
            r = Scan(s, h, fileSize, from, next);
        } else if (next > h.currentRecordNumber || scanEnd_ != h.endOffset) {
            r = FullScan(s, h, fileSize);
        }
    }
    if (r != err::kOk) Reset();
    return r;
}

uint32_t AppendRecord(Storage& s, Header& h, uint32_t& fileSize, const Settings& settings,
                      std::vector<uint8_t>& record, uint32_t now, uint32_t& number) {
    const uint32_t len = uint32_t(record.size());
    const uint32_t maxSize = std::max(EffectiveMaxSize(settings.maxSize), fileSize);
    if (len < kRecordFixedSize + 4 || uint64_t(len) + kEofSize > maxSize - kHeaderSize)
        return err::kLogFileFull;

    bool evicted = false;
    for (;;) {
        if (h.Count() == 0) {
            // An empty log restarts at the top of the ring: the file can grow again.
            h.startOffset = h.endOffset = kHeaderSize;
            h.oldestRecordNumber = 0;
        }
        uint32_t used = RingDistance(h.startOffset, h.endOffset, fileSize);
        if (h.Count() == 0) used = 0;
        uint64_t free = uint64_t(fileSize - kHeaderSize) - used - kEofSize;
        if (len <= free) break;
        bool contiguous = h.Count() == 0 ||
                          (h.startOffset <= h.endOffset && h.endOffset + kEofSize <= fileSize);
        if (contiguous && fileSize < maxSize) {
            uint64_t want = uint64_t(fileSize) + (len - free);
            want = (want + kSizeStep - 1) / kSizeStep * kSizeStep;
            uint32_t newSize = uint32_t(std::min<uint64_t>(want, maxSize));
            if (!s.SetSize(newSize)) return err::kLogFileFull;
            fileSize = newSize;
            continue;
        }
        if (h.Count() == 0) return err::kLogFileFull;
        uint8_t fixed[kRecordFixedSize];
        if (!RingRead(s, fileSize, h.startOffset, fixed, kRecordFixedSize)) return err::kFileCorrupt;
        uint32_t oldLen = Get32(fixed);
        if (oldLen < kRecordFixedSize + 4 || oldLen > used) return err::kFileCorrupt;
        if (settings.retention == kRetentionNever) return err::kLogFileFull;
        if (settings.retention != 0) {
            uint32_t written = Get32(fixed + 16);
            if (now < written || now - written < settings.retention) return err::kLogFileFull;
        }
        h.startOffset = RingAdvance(h.startOffset, oldLen, fileSize);
        ++h.oldestRecordNumber;
        if (h.oldestRecordNumber == h.currentRecordNumber) h.oldestRecordNumber = 0;
        evicted = true;
    }
    // Records about to be overwritten leave the header first, so that the file stays
    // consistent whatever happens to the writes that follow.
    if (evicted) {
        h.flags |= kFlagWrap;
        if (uint32_t r = WriteHeader(s, h)) return r;
    }
    // The header names the size the file may grow to, so that a file left larger than its
    // ring (a shrink that another process's view of the file held up) is still read right.
    h.maxSize = maxSize;
    number = h.currentRecordNumber;
    Put32(record.data() + 8, number);
    Put32(record.data() + 16, now);
    Header next = h;
    next.endOffset = RingAdvance(h.endOffset, len, fileSize);
    next.currentRecordNumber = number + 1;
    if (next.oldestRecordNumber == 0) next.oldestRecordNumber = number;
    if (h.endOffset + len >= fileSize) next.flags |= kFlagWrap;
    if (uint32_t r = WriteEof(s, next, fileSize)) return r;
    if (!RingWrite(s, fileSize, h.endOffset, record.data(), len)) return err::kFileCorrupt;
    if (uint32_t r = WriteHeader(s, next)) return r;
    h = next;
    return err::kOk;
}

uint32_t ShrinkLog(Storage& s, const Header& h, uint32_t fileSize, const Settings& settings,
                   uint32_t now, MemoryStorage& out, Header& outHeader) {
    RecordIndex index;
    if (uint32_t r = index.Refresh(s, h, fileSize)) return r;
    const uint32_t target = EffectiveMaxSize(settings.maxSize);
    const uint64_t room = target - kHeaderSize - kEofSize;
    // The newest records that fit; the rest may go only as the retention allows.
    uint32_t keep = index.First() + index.Count();
    uint64_t used = 0;
    while (keep > index.First()) {
        uint64_t len = index.Size(keep - 1, h, fileSize);
        if (used + len > room) break;
        used += len;
        --keep;
    }
    for (uint32_t n = index.First(); n < keep; ++n) {
        if (settings.retention == kRetentionNever) return err::kLogFileFull;
        uint8_t fixed[kRecordFixedSize];
        if (!RingRead(s, fileSize, index.Offset(n), fixed, kRecordFixedSize)) return err::kFileCorrupt;
        uint32_t written = Get32(fixed + 16);
        if (settings.retention != 0 && (now < written || now - written < settings.retention))
            return err::kLogFileFull;
    }
    out = MemoryStorage();
    if (uint32_t r = CreateLog(out, {target, 0}, outHeader)) return r;
    uint32_t outSize = kSizeStep;
    outHeader.currentRecordNumber = index.Count() ? keep : h.currentRecordNumber;
    outHeader.flags = h.flags & ~(kFlagWrap | kFlagDirty);
    std::vector<uint8_t> record;
    for (uint32_t n = keep; n < index.First() + index.Count(); ++n) {
        record.resize(index.Size(n, h, fileSize));
        if (!RingRead(s, fileSize, index.Offset(n), record.data(), uint32_t(record.size())))
            return err::kFileCorrupt;
        uint32_t number = 0;
        if (uint32_t r = AppendRecord(out, outHeader, outSize, {target, 0}, record, Get32(record.data() + 16), number))
            return r;
    }
    // The whole new size, so that the header's maximum matches the file from the start.
    if (!out.SetSize(target)) return err::kFileCorrupt;
    outHeader.maxSize = target;
    outHeader.retention = settings.retention;
    uint32_t r = WriteEof(out, outHeader, target);
    return r ? r : WriteHeader(out, outHeader);
}

uint32_t RepairHeader(Storage& s, Header& h) {
    uint32_t fileSize = 0;
    uint8_t b[kHeaderSize];
    if (!s.Size(fileSize) || fileSize < kHeaderSize + kEofSize || fileSize > 0x7FFF0000)
        return err::kFileCorrupt;
    if (!s.Read(0, b, kHeaderSize) || !DecodeHeader(b, h)) return err::kFileCorrupt;
    std::vector<uint8_t> all(fileSize);
    if (!s.Read(0, all.data(), fileSize)) return err::kFileCorrupt;
    // The end-of-file record starts on a 4-byte boundary and may itself be split by the wrap.
    for (uint32_t off = kHeaderSize; off + 4 <= fileSize; off += 4) {
        if (Get32(all.data() + off) != kEofSize) continue;
        uint8_t eof[kEofSize];
        if (!RingRead(s, fileSize, off, eof, kEofSize)) continue;
        EofRecord e;
        if (!DecodeEof(eof, e) || e.endRecord != off) continue;
        Header fixed = h;
        fixed.startOffset = e.beginRecord;
        fixed.endOffset = e.endRecord;
        fixed.currentRecordNumber = e.currentRecordNumber;
        fixed.oldestRecordNumber = e.oldestRecordNumber;
        fixed.flags &= ~kFlagDirty;
        uint8_t enc[kHeaderSize];
        EncodeHeader(fixed, enc);
        MemoryStorage probe(all);
        probe.Write(0, enc, kHeaderSize);
        Header checked;
        uint32_t size = 0;
        RecordIndex index;
        if (LoadHeader(probe, checked, size, true) || index.Refresh(probe, checked, size)) continue;
        if (!s.Write(0, enc, kHeaderSize)) return err::kFileCorrupt;
        h = fixed;
        return err::kOk;
    }
    return err::kFileCorrupt;
}

}  // namespace vantrel::evt
