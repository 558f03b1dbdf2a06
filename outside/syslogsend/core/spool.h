// The sender's spool: TCP messages that could not be delivered yet, kept in a file beside
// the program until a sender delivers them. The file is a run of self-checking records, so
// a record torn by a sender killed mid-write costs that record and nothing more.
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

struct SpooledMessage {
    uint64_t sequence;    // increases from the oldest to the newest
    std::string message;  // the composed message, as it goes on the wire
};

struct Spool {
    std::vector<SpooledMessage> messages;  // oldest first
    uint64_t dropped = 0;                  // oldest messages dropped for the bound, not yet reported
    size_t damaged = 0;                    // runs of bytes that were no readable record
};

// Reads the file's bytes. Never fails: what is no readable record (torn, truncated,
// overwritten) is skipped up to the next record and counted in `damaged`.
Spool ParseSpool(const std::string& bytes);

// The whole file for the spool: the drop count first (when not 0), then the messages.
std::string EncodeSpool(const Spool& spool);

// The record that appends one message to a file holding the spool.
std::string EncodeMessageRecord(uint64_t sequence, const std::string& message);

// Adds the message as the newest. When the spool already holds `limit` messages the oldest
// go and are counted in `dropped`; then (or when the file held damaged bytes) the whole
// file must be written anew, and the result says so. Otherwise the returned record is
// appended to the file as it is.
struct Addition {
    bool rewrite;
    std::string record;  // when !rewrite
};
Addition AddMessage(Spool& spool, const std::string& message, size_t limit = kSpoolLimit);

// Takes out the messages up to `last_sequence` (delivered) and `reported_drops` from the
// drop count (the notice that named them was delivered).
void RemoveDelivered(Spool& spool, uint64_t last_sequence, uint64_t reported_drops);

// The text of the message that goes ahead of the first delivered one after drops.
std::string DropNoticeText(uint64_t dropped);

}  // namespace syslogsend
