// Where a monitor starts in its log, from what it kept of the last entry it raised before
// its process ended. The number alone does not say whether the log still holds that entry:
// a cleared log numbers from 1 again, so the entry's own stamp is kept beside it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "read_position.h"

namespace mirrolan {

// What tells an entry from another that got its number after the log was cleared.
struct EntryStamp {
    uint32_t time_written = 0;  // seconds since 1970, UTC
    uint32_t event_id = 0;
    std::wstring source;
};
bool operator==(const EntryStamp& a, const EntryStamp& b);

// The last entry raised; its stamp is unknown when it could not be read, and in marks
// kept by earlier versions.
struct MarkedEntry {
    uint32_t number = 0;
    std::optional<EntryStamp> stamp;
};

// The kept text: "<number>" or "<number> <time written> <event id> <source>".
std::wstring FormatEntry(const MarkedEntry& entry);
std::optional<MarkedEntry> ParseEntry(const std::wstring& text);

// One kept value as it was found.
template <class T>
struct StoredValue {
    bool present = false;    // the value exists
    std::optional<T> value;  // empty when it exists but is of another type or size
};

// What is kept per program and log: "Clean", "LastRaised" (the number alone, as earlier
// versions kept it and still read it) and "LastEntry".
struct StoredMark {
    StoredValue<uint32_t> clean;
    StoredValue<uint32_t> last_raised;
    StoredValue<std::wstring> last_entry;
};

struct PreviousEnd {
    enum Kind {
        kNone,        // nothing kept: the first start
        kClean,       // a clean stop
        kUnclean,     // killed or crashed after raising `last`
        kUnreadable,  // something is kept, but not enough to tell where it stopped
    } kind = kNone;
    MarkedEntry last;
};
PreviousEnd ReadPreviousEnd(const StoredMark& stored);

struct StartPlan {
    uint64_t next = 1;         // the first record number to take
    uint64_t overwritten = 0;  // entries after the mark the log overwrote before the start
    bool resumed = false;      // entries already in the log are taken
    bool unreadable = false;   // the mark could not be read; this is to be told
};

// `stamp_of` reads the stamp of an entry the log holds, empty when it cannot.
// After an unclean end: when the log still holds the marked entry, the start is after it;
// when it was cleared (the number is past the newest entry, or names another entry) or
// wrapped past it, every entry it holds is taken, oldest first, and what it overwrote is
// counted. Otherwise only what is written from now on.
StartPlan PlanStart(const PreviousEnd& end, LogWindow now,
                    const std::function<std::optional<EntryStamp>(uint32_t)>& stamp_of);

}  // namespace mirrolan
