// The stamp of an entry that the monitor keeps beside its number (see ResumeMark).
#pragma once

#include <optional>

#include "core/resume_plan.h"
#include "lorvex.h"

namespace mirrolan {

// Empty when the record cannot tell one of its parts.
std::optional<EntryStamp> StampOf(IEventLogRecord* record);

// The stamp of the entry `number` of `log`; empty when the log does not hold it or it
// cannot be read.
std::optional<EntryStamp> StampAt(IEventLog* log, uint32_t number);

}  // namespace mirrolan
