#include "spool.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace syslogsend {

namespace {

// A record: the mark "VtSp", its kind, three zero bytes, a 64-bit value (the message's
// sequence, or a count), the payload's length, a checksum over everything after the
// mark, then the payload. Numbers are little-endian.
constexpr char kMark[4] = {'V', 't', 'S', 'p'};
constexpr size_t kHeaderSize = 24;
constexpr uint8_t kMessage = 1;
constexpr uint8_t kDropCount = 2;
constexpr uint8_t kDelivered = 3;  // value: the last delivered message's sequence
constexpr uint8_t kDamageCount = 4;
// The payload of a delivered mark: a flag (1: it names a message), the text's hash, the
// reported drops and the reported damage.
constexpr size_t kMarkPayload = 25;

void PutLE(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint64_t GetLE(const std::string& in, size_t at, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(in[at + i]);
    return value;
}

// A count read from a file never wraps.
void AddCount(uint64_t& count, uint64_t more) {
    count = more > std::numeric_limits<uint64_t>::max() - count ? std::numeric_limits<uint64_t>::max() : count + more;
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

uint64_t TextHash(const char* text, size_t size) {
    uint64_t h = 14695981039346656037ull;
    for (size_t i = 0; i < size; ++i) {
        h ^= static_cast<unsigned char>(text[i]);
        h *= 1099511628211ull;
    }
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

// How many messages from `front` on the mark covers. A delivery takes at most a batch from
// the front, and messages are only ever added behind or dropped from the front, so its last
// message is among the first kBatch: looking no further keeps crafted marks cheap.
size_t Covered(const std::vector<SpooledMessage>& messages, size_t front, const DeliveredMark& mark) {
    if (!mark.any_message) return 0;
    const size_t end = std::min(messages.size(), front + kBatch);
    for (size_t i = front; i < end; ++i) {
        const SpooledMessage& m = messages[i];
        if (m.sequence == mark.sequence && TextHash(m.message.data(), m.message.size()) == mark.text_hash)
            return i + 1 - front;
    }
    return 0;
}

void Subtract(Spool& spool, const DeliveredMark& mark) {
    spool.dropped -= std::min(spool.dropped, mark.reported_drops);
    spool.damaged -= std::min(spool.damaged, mark.reported_damage);
}

}  // namespace

Spool ParseSpool(const std::string& bytes) {
    Spool spool;
    // Messages taken out by marks leave from the front; erasing them one mark at a time
    // would cost the whole list each time.
    size_t gone = 0;
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t left = bytes.size() - at;
        bool readable = left >= kHeaderSize && std::memcmp(bytes.data() + at, kMark, sizeof(kMark)) == 0;
        uint64_t length = readable ? GetLE(bytes, at + 16, 4) : 0;
        readable = readable && length <= kMaxSpoolPayload && length <= left - kHeaderSize &&
                   GetLE(bytes, at + 20, 4) == Checksum(bytes, at, static_cast<size_t>(length));
        if (!readable) {
            AddCount(spool.damaged, 1);
            spool.untidy = true;
            at = NextMark(bytes, at + 1);
            continue;
        }
        const uint8_t kind = static_cast<uint8_t>(bytes[at + 4]);
        const uint64_t value = GetLE(bytes, at + 8, 8);
        const size_t payload = at + kHeaderSize;
        if (kind == kMessage) {
            spool.messages.push_back({value, bytes.substr(payload, static_cast<size_t>(length))});
        } else if (kind == kDropCount) {
            AddCount(spool.dropped, value);
        } else if (kind == kDamageCount) {
            AddCount(spool.damaged, value);
        } else if (kind == kDelivered && length >= kMarkPayload) {
            DeliveredMark mark;
            mark.any_message = bytes[payload] == 1;
            mark.sequence = value;
            mark.text_hash = GetLE(bytes, payload + 1, 8);
            mark.reported_drops = GetLE(bytes, payload + 9, 8);
            mark.reported_damage = GetLE(bytes, payload + 17, 8);
            gone += Covered(spool.messages, gone, mark);
            Subtract(spool, mark);
            spool.untidy = true;
        }
        // Other kinds are records of a later sender: skipped whole.
        at += kHeaderSize + static_cast<size_t>(length);
    }
    spool.messages.erase(spool.messages.begin(), spool.messages.begin() + static_cast<std::ptrdiff_t>(gone));
    return spool;
}

std::string EncodeSpool(const Spool& spool) {
    std::string out;
    if (spool.dropped) out += Record(kDropCount, spool.dropped, {});
    if (spool.damaged) out += Record(kDamageCount, spool.damaged, {});
    for (const auto& m : spool.messages) out += Record(kMessage, m.sequence, m.message);
    return out;
}

std::string EncodeMessageRecord(uint64_t sequence, const std::string& message) {
    return Record(kMessage, sequence, message);
}

Addition AddMessage(Spool& spool, const std::string& message, size_t limit) {
    // Numbers need not ascend in a file that another program wrote; the next one only has
    // to differ from those of the messages it could be taken for.
    uint64_t newest = 0;
    for (const auto& m : spool.messages) newest = std::max(newest, m.sequence);
    const uint64_t sequence = newest == std::numeric_limits<uint64_t>::max() ? 1 : newest + 1;
    spool.messages.push_back({sequence, message});
    Addition a{spool.untidy, EncodeMessageRecord(sequence, message)};
    const size_t keep = std::max<size_t>(limit, 1);
    if (spool.messages.size() > keep) {
        const size_t drop = spool.messages.size() - keep;
        spool.messages.erase(spool.messages.begin(), spool.messages.begin() + static_cast<std::ptrdiff_t>(drop));
        AddCount(spool.dropped, drop);
        a.rewrite = true;
    }
    return a;
}

DeliveredMark MarkDelivery(const Spool& sent, size_t count) {
    DeliveredMark mark;
    mark.reported_drops = sent.dropped;
    mark.reported_damage = sent.damaged;
    count = std::min(count, sent.messages.size());
    if (count) {
        const SpooledMessage& last = sent.messages[count - 1];
        mark.any_message = true;
        mark.sequence = last.sequence;
        mark.text_hash = TextHash(last.message.data(), last.message.size());
    }
    return mark;
}

void RemoveDelivered(Spool& spool, const DeliveredMark& mark) {
    auto& m = spool.messages;
    m.erase(m.begin(), m.begin() + static_cast<std::ptrdiff_t>(Covered(m, 0, mark)));
    Subtract(spool, mark);
}

std::string EncodeMarkRecord(const DeliveredMark& mark) {
    std::string payload(1, mark.any_message ? '\1' : '\0');
    PutLE(payload, mark.text_hash, 8);
    PutLE(payload, mark.reported_drops, 8);
    PutLE(payload, mark.reported_damage, 8);
    return Record(kDelivered, mark.sequence, payload);
}

std::string DropNoticeText(uint64_t dropped, uint64_t damaged) {
    const std::string bound = " while the syslog server could not be reached (the spool holds at most " +
                              std::to_string(kSpoolLimit) + ")";
    const std::string damage = " damaged in the spool (a sender ended while writing it, or another program changed it)";
    auto messages = [](uint64_t n) { return std::to_string(n) + (n == 1 ? " message was" : " messages were"); };
    if (!damaged) return messages(dropped) + " dropped" + bound;
    if (!dropped) return messages(damaged) + " dropped," + damage;
    uint64_t total = dropped;
    AddCount(total, damaged);
    return messages(total) + " dropped: " + std::to_string(dropped) + bound + ", " + std::to_string(damaged) +
           damage;
}

}  // namespace syslogsend
