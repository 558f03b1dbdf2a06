// The sender's spool: TCP messages that could not be delivered yet, kept in a file beside
// the program until a sender delivers them. The file is a run of self-checking records, so
// a record torn by a sender killed mid-write costs that record and nothing more. What was
// delivered leaves the file by a rewrite or, where the file cannot be replaced (another
// program holds it open), by a mark appended behind it that names the last delivered message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace syslogsend {

// At most this many messages wait; beyond that the oldest go and are counted.
constexpr size_t kSpoolLimit = 10000;

// No record is longer: a command line carries at most 32,767 characters.
constexpr uint32_t kMaxSpoolPayload = 1u << 20;

// Messages per connection while the spool is delivered.
constexpr size_t kBatch = 100;

struct SpooledMessage {
    uint64_t sequence;    // names the message in marks; newer messages get higher numbers
    std::string message;  // the composed message, as it goes on the wire
};

struct Spool {
    std::vector<SpooledMessage> messages;  // oldest first
    uint64_t dropped = 0;                  // oldest messages dropped for the bound, not yet reported
    uint64_t damaged = 0;                  // damaged records (runs of unreadable bytes), not yet reported
    bool untidy = false;                   // the file holds damaged bytes or marks that a rewrite removes
};

// Reads the file's bytes. Never fails, and its work grows with the file's size only: what
// is no readable record (torn, truncated, overwritten) is skipped up to the next record
// and counted in `damaged`.
Spool ParseSpool(const std::string& bytes);

// The whole file for the spool: the counts first (when not 0), then the messages.
std::string EncodeSpool(const Spool& spool);

// The record that appends one message to a file holding the spool.
std::string EncodeMessageRecord(uint64_t sequence, const std::string& message);

// Adds the message as the newest. When the spool already holds `limit` messages the oldest
// go and are counted in `dropped`; then (or when the file is untidy) the whole file is
// better written anew, and the result says so. Where that fails, appending the record
// keeps every message (the bound then waits for the next rewrite).
struct Addition {
    bool rewrite;
    std::string record;
};
Addition AddMessage(Spool& spool, const std::string& message, size_t limit = kSpoolLimit);

// What one delivery took from the front of the spool: the counts its notice reported and
// its last message (by sequence and text, so that a mark never matches another message).
struct DeliveredMark {
    bool any_message = false;
    uint64_t sequence = 0;
    uint64_t text_hash = 0;
    uint64_t reported_drops = 0;
    uint64_t reported_damage = 0;
};

// The mark for a delivery of the notice (when the counts are not 0) and the first `count`
// messages of `sent`.
DeliveredMark MarkDelivery(const Spool& sent, size_t count);

// Takes out of a spool read after the delivery what the mark covers: the messages up to
// its last one (others may have been added behind them meanwhile; when its last one is no
// longer there, the bound dropped all of them) and the reported counts.
void RemoveDelivered(Spool& spool, const DeliveredMark& mark);

// The record that appends the mark to the file.
std::string EncodeMarkRecord(const DeliveredMark& mark);

// The text of the message that goes ahead of the first delivered one after drops or damage.
std::string DropNoticeText(uint64_t dropped, uint64_t damaged);

}  // namespace syslogsend
