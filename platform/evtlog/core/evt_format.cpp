#include "platform/evtlog/core/evt_format.h"

#include <cstring>

namespace vantrel::evt {

void EncodeHeader(const Header& h, uint8_t out[kHeaderSize]) {
    Put32(out + 0, kHeaderSize);
    Put32(out + 4, kSignature);
    Put32(out + 8, 1);
    Put32(out + 12, 1);
    Put32(out + 16, h.startOffset);
    Put32(out + 20, h.endOffset);
    Put32(out + 24, h.currentRecordNumber);
    Put32(out + 28, h.oldestRecordNumber);
    Put32(out + 32, h.maxSize);
    Put32(out + 36, h.flags);
    Put32(out + 40, h.retention);
    Put32(out + 44, kHeaderSize);
}

bool DecodeHeader(const uint8_t in[kHeaderSize], Header& h) {
    if (Get32(in) != kHeaderSize || Get32(in + 44) != kHeaderSize) return false;
    if (Get32(in + 4) != kSignature || Get32(in + 8) != 1 || Get32(in + 12) != 1) return false;
    h.startOffset = Get32(in + 16);
    h.endOffset = Get32(in + 20);
    h.currentRecordNumber = Get32(in + 24);
    h.oldestRecordNumber = Get32(in + 28);
    h.maxSize = Get32(in + 32);
    h.flags = Get32(in + 36);
    h.retention = Get32(in + 40);
    return true;
}

namespace {
const uint32_t kEofMarks[5] = {kEofSize, 0x11111111, 0x22222222, 0x33333333, 0x44444444};
}

void EncodeEof(const EofRecord& e, uint8_t out[kEofSize]) {
    for (int i = 0; i < 5; ++i) Put32(out + 4 * i, kEofMarks[i]);
    Put32(out + 20, e.beginRecord);
    Put32(out + 24, e.endRecord);
    Put32(out + 28, e.currentRecordNumber);
    Put32(out + 32, e.oldestRecordNumber);
    Put32(out + 36, kEofSize);
}

bool IsEofMarker(const uint8_t* p, size_t n) {
    if (n < 20) return false;
    for (int i = 0; i < 5; ++i)
        if (Get32(p + 4 * i) != kEofMarks[i]) return false;
    return true;
}

bool DecodeEof(const uint8_t in[kEofSize], EofRecord& e) {
    if (!IsEofMarker(in, kEofSize) || Get32(in + 36) != kEofSize) return false;
    e.beginRecord = Get32(in + 20);
    e.endRecord = Get32(in + 24);
    e.currentRecordNumber = Get32(in + 28);
    e.oldestRecordNumber = Get32(in + 32);
    return true;
}

namespace {

size_t TextBytes(const std::u16string& s) { return (s.size() + 1) * 2; }

uint8_t* PutText(uint8_t* p, const std::u16string& s) {
    for (char16_t c : s) { Put16(p, uint16_t(c)); p += 2; }
    Put16(p, 0);
    return p + 2;
}

}  // namespace

std::vector<uint8_t> EncodeRecord(const Event& e) {
    // The SID follows the computer name directly, unaligned, as the NT 5 family stores it.
    size_t sidOffset = kRecordFixedSize + TextBytes(e.source) + TextBytes(e.computer);
    size_t stringOffset = sidOffset + e.sid.size();
    size_t dataOffset = stringOffset;
    for (const auto& s : e.strings) dataOffset += TextBytes(s);
    // The platform pads after the data with 1 to 4 bytes, never none, so the data and the
    // strings always end before the trailing length copy; readers of the format rely on it.
    size_t end = dataOffset + e.data.size();
    size_t length = end + (4 - end % 4) + 4;
    if (length > kMaxRecordSize || e.strings.size() > 0xFFFF) return {};

    std::vector<uint8_t> r(length, 0);
    uint8_t* p = r.data();
    Put32(p + 0, uint32_t(length));
    Put32(p + 4, kSignature);
    Put32(p + 8, e.recordNumber);
    Put32(p + 12, e.timeGenerated);
    Put32(p + 16, e.timeWritten);
    Put32(p + 20, e.eventId);
    Put16(p + 24, e.eventType);
    Put16(p + 26, uint16_t(e.strings.size()));
    Put16(p + 28, e.category);
    Put16(p + 30, e.reservedFlags);
    Put32(p + 32, e.closingRecordNumber);
    Put32(p + 36, uint32_t(stringOffset));
    Put32(p + 40, uint32_t(e.sid.size()));
    Put32(p + 44, uint32_t(sidOffset));
    Put32(p + 48, uint32_t(e.data.size()));
    Put32(p + 52, uint32_t(stringOffset + (dataOffset - stringOffset)));
    uint8_t* q = PutText(p + kRecordFixedSize, e.source);
    PutText(q, e.computer);
    if (!e.sid.empty()) std::memcpy(p + sidOffset, e.sid.data(), e.sid.size());
    q = p + stringOffset;
    for (const auto& s : e.strings) q = PutText(q, s);
    if (!e.data.empty()) std::memcpy(p + dataOffset, e.data.data(), e.data.size());
    Put32(p + length - 4, uint32_t(length));
    return r;
}

bool ParseTexts(const RecordView& v, RecordTexts& t);

bool ParseRecord(const uint8_t* p, size_t n, RecordView& v, RecordTexts& t) {
    if (n < kRecordFixedSize + 4) return false;
    uint32_t length = Get32(p);
    if (length < kRecordFixedSize + 4 || length > n || length % 4 != 0) return false;
    if (Get32(p + 4) != kSignature || Get32(p + length - 4) != length) return false;
    v.bytes = p;
    v.length = length;
    v.recordNumber = Get32(p + 8);
    v.timeGenerated = Get32(p + 12);
    v.timeWritten = Get32(p + 16);
    v.eventId = Get32(p + 20);
    v.eventType = Get16(p + 24);
    v.numStrings = Get16(p + 26);
    v.category = Get16(p + 28);
    v.reservedFlags = Get16(p + 30);
    v.closingRecordNumber = Get32(p + 32);
    v.stringOffset = Get32(p + 36);
    v.sidLength = Get32(p + 40);
    v.sidOffset = Get32(p + 44);
    v.dataLength = Get32(p + 48);
    v.dataOffset = Get32(p + 52);
    // Areas end before the trailing length copy; compared in 64 bits so that hostile
    // values cannot wrap around.
    const uint64_t limit = length - 4;
    if (v.sidLength && (v.sidOffset < kRecordFixedSize || uint64_t(v.sidOffset) + v.sidLength > limit))
        return false;
    if (v.dataLength && (v.dataOffset < kRecordFixedSize || uint64_t(v.dataOffset) + v.dataLength > limit))
        return false;
    if (v.numStrings && (v.stringOffset < kRecordFixedSize || v.stringOffset > limit)) return false;
    return ParseTexts(v, t);
}

namespace {

// A zero-terminated UTF-16 text starting at off and ending before limit.
bool TextAt(const uint8_t* p, uint64_t off, uint64_t limit, U16Span& s, uint64_t& next) {
    for (uint64_t i = off; i + 2 <= limit; i += 2) {
        if (Get16(p + i) == 0) {
            s.p = p + off;
            s.units = size_t((i - off) / 2);
            next = i + 2;
            return true;
        }
    }
    return false;
}

}  // namespace

bool ParseTexts(const RecordView& v, RecordTexts& t) {
    const uint64_t limit = v.length - 4;
    uint64_t next = 0;
    if (!TextAt(v.bytes, kRecordFixedSize, limit, t.source, next)) return false;
    if (!TextAt(v.bytes, next, limit, t.computer, next)) return false;
    t.strings.clear();
    t.strings.reserve(v.numStrings);
    next = v.stringOffset;
    for (uint32_t i = 0; i < v.numStrings; ++i) {
        U16Span s;
        if (!TextAt(v.bytes, next, limit, s, next)) return false;
        t.strings.push_back(s);
    }
    return true;
}

namespace {
std::u16string ToString(const U16Span& s) {
    std::u16string r(s.units, u'\0');
    for (size_t i = 0; i < s.units; ++i) r[i] = s.at(i);
    return r;
}
}  // namespace

bool DecodeEvent(const uint8_t* p, size_t n, Event& e) {
    RecordView v;
    RecordTexts t;
    if (!ParseRecord(p, n, v, t)) return false;
    e.recordNumber = v.recordNumber;
    e.timeGenerated = v.timeGenerated;
    e.timeWritten = v.timeWritten;
    e.eventId = v.eventId;
    e.eventType = v.eventType;
    e.category = v.category;
    e.reservedFlags = v.reservedFlags;
    e.closingRecordNumber = v.closingRecordNumber;
    e.source = ToString(t.source);
    e.computer = ToString(t.computer);
    e.sid.clear();
    if (v.sidLength) e.sid.assign(v.bytes + v.sidOffset, v.bytes + v.sidOffset + v.sidLength);
    e.strings.clear();
    for (const auto& s : t.strings) e.strings.push_back(ToString(s));
    e.data.clear();
    if (v.dataLength) e.data.assign(v.bytes + v.dataOffset, v.bytes + v.dataOffset + v.dataLength);
    return true;
}

}  // namespace vantrel::evt
