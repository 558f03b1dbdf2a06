// What the end of the program waits for before the service reports STOPPED: the mail the
// mail control has not answered and the entries the log monitors took and have not raised
// yet. Each wait lets the thread's messages through, so the work goes on and the host
// control's checkpoint moves, and each has a bound; what is left then is named once.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/settings_table.h"

namespace quenloc {

// How long the end of the program waits for the entries the monitors took before the
// stop. Each notification starts the syslog sender, some 40 ms and far more on a busy
// machine, so a burst of a few thousand entries needs minutes; a full queue (10,000 per
// log) may not hold the stop for ever.
constexpr unsigned kEntriesWaitAtEndMs =
    vantrel::common::FallbackNumber(vantrel::common::SettingId::EntriesWaitAtEndMs);

// The bound that wait keeps: kEntriesWaitAtEndMs, or a shorter one given in milliseconds
// (the settings value "EntriesWaitAtEndMs", which tests set so as not to wait minutes);
// anything else, a longer bound included, leaves kEntriesWaitAtEndMs.
unsigned EntriesWaitBound(const std::string& configured_ms);

// Lets messages through (let_through is told the longest it may wait for one) until
// done() holds or bound_ms have passed by elapsed_ms(); returns done().
bool WaitBounded(const std::function<bool()>& done, const std::function<unsigned()>& elapsed_ms,
                 const std::function<void(unsigned)>& let_through, unsigned bound_ms);

// The entries one monitor still holds: its log, how many, and the record numbers of the
// first and the last of them.
struct WaitingEntries {
    std::string log;
    long count = 0;
    long first = 0;
    long last = 0;
};

// One line naming the entries that were never notified, by log and record numbers; empty
// when none are left.
std::string UnnotifiedText(const std::vector<WaitingEntries>& left);

}  // namespace quenloc
