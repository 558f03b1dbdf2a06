#include "spool.h"

#include <algorithm>
#include <cstring>

namespace syslogsend {

namespace {

// A record: the mark "VtSp", its kind, three zero bytes, a 64-bit value (the message's
// sequence, or the drop count), the payload's length, a checksum over everything after the
// mark, then the payload. Numbers are little-endian.
constexpr char kMark[4] = {'V', 't', 'S', 'p'};
constexpr size_t kHeaderSize = 24;
constexpr uint8_t kMessage = 1;
constexpr uint8_t kDropCount = 2;

void PutLE(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint64_t GetLE(const std::string& in, size_t at, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(in[at + i]);
    return value;
}

// FNV-1a over the header after the mark (checksum field left out) and the payload.
uint32_t Checksum(const std::string& bytes, size_t header, size_t payload_length) {
    uint32_t h = 2166136261u;
    auto feed = [&h, &bytes](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            h ^= static_cast<unsigned char>(bytes[i]);
            h *= 16777619u;
        }
    };
    feed(header + 4, header + 20);
    feed(header + kHeaderSize, header + kHeaderSize + payload_length);
    return h;
}

std::string Record(uint8_t kind, uint64_t value, const std::string& payload) {
    std::string r(kMark, sizeof(kMark));
    r.push_back(static_cast<char>(kind));
    r.append(3, '\0');
    PutLE(r, value, 8);
    PutLE(r, payload.size(), 4);
    PutLE(r, 0, 4);
    r += payload;
    uint32_t sum = Checksum(r, 0, payload.size());
    for (int i = 0; i < 4; ++i) r[20 + i] = static_cast<char>((sum >> (8 * i)) & 0xFF);
    return r;
}

size_t NextMark(const std::string& bytes, size_t from) {
    size_t at = bytes.find(std::string(kMark, sizeof(kMark)), from);
    return at == std::string::npos ? bytes.size() : at;
}

}  // namespace

Spool ParseSpool(const std::string& bytes) {
    Spool spool;
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t left = bytes.size() - at;
        bool readable = left >= kHeaderSize && std::memcmp(bytes.data() + at, kMark, sizeof(kMark)) == 0;
        uint64_t length = readable ? GetLE(bytes, at + 16, 4) : 0;
        readable = readable && length <= kMaxSpoolPayload && length <= left - kHeaderSize &&
                   GetLE(bytes, at + 20, 4) == Checksum(bytes, at, static_cast<size_t>(length));
        if (!readable) {
            ++spool.damaged;
            at = NextMark(bytes, at + 1);
            continue;
        }
        const uint8_t kind = static_cast<uint8_t>(bytes[at + 4]);
        const uint64_t value = GetLE(bytes, at + 8, 8);
        if (kind == kMessage) {
            spool.messages.push_back({value, bytes.substr(at + kHeaderSize, static_cast<size_t>(length))});
        } else if (kind == kDropCount) {
            spool.dropped += value;
        }
        // Other kinds are records of a later sender: skipped whole.
        at += kHeaderSize + static_cast<size_t>(length);
    }
    return spool;
}

std::string EncodeSpool(const Spool& spool) {
    std::string out;
    if (spool.dropped) out += Record(kDropCount, spool.dropped, {});
    for (const auto& m : spool.messages) out += Record(kMessage, m.sequence, m.message);
    return out;
}

std::string EncodeMessageRecord(uint64_t sequence, const std::string& message) {
    return Record(kMessage, sequence, message);
}

Addition AddMessage(Spool& spool, const std::string& message, size_t limit) {
    const uint64_t sequence = spool.messages.empty() ? 1 : spool.messages.back().sequence + 1;
    spool.messages.push_back({sequence, message});
    Addition a{spool.damaged != 0, {}};
    const size_t keep = std::max<size_t>(limit, 1);
    if (spool.messages.size() > keep) {
        const size_t drop = spool.messages.size() - keep;
        spool.messages.erase(spool.messages.begin(), spool.messages.begin() + static_cast<std::ptrdiff_t>(drop));
        spool.dropped += drop;
        a.rewrite = true;
    }
    if (!a.rewrite) a.record = EncodeMessageRecord(sequence, message);
    return a;
}

void RemoveDelivered(Spool& spool, uint64_t last_sequence, uint64_t reported_drops) {
    auto& m = spool.messages;
    m.erase(m.begin(), std::find_if(m.begin(), m.end(),
                                    [last_sequence](const SpooledMessage& s) { return s.sequence > last_sequence; }));
    spool.dropped -= std::min(spool.dropped, reported_drops);
}

std::string DropNoticeText(uint64_t dropped) {
    return std::to_string(dropped) + (dropped == 1 ? " message was" : " messages were") +
           " dropped while the syslog server could not be reached (the spool holds at most " +
           std::to_string(kSpoolLimit) + ")";
}

}  // namespace syslogsend
