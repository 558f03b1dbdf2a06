// The log-entry filter of the six NewLogEntry handlers: the type switches, then the
// include or exclude list. One routine; the handlers differ only in texts and label.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "record_view.h"

namespace quenloc {

struct LogHandler {
    const char* name;       // "ApplicationLogMonitor_NewLogEntry"
    const char* label;      // handed to the notification: "Application Log"
    bool security;          // the security handler has texts of its own
};

// In start order: Application, Security, System, Directory Service, DNS Server, File
// Replication Service.
extern const LogHandler kLogHandlers[6];

struct FilterSettings {
    std::string info;     // MonitorInfoEvents
    std::string warning;  // MonitorWarningEvents
    std::string error;    // MonitorErrorEvents
    std::string mode;     // IncludeExclude
};

struct FilterHooks {
    // Runs one statement under the handler's error tail; it may run it again, skip it or
    // throw to leave the handler.
    std::function<void(const std::function<void()>&)> statement;
    std::function<void(const std::string&)> debug;
    // Lets pending window messages and events through once.
    std::function<void()> yield;
    // ShowEventDescription with the record and the handler's label.
    std::function<void()> send;
};

// The list line's event number as a number, the way a text converts to a double: blanks
// around it allowed, "0100" is 100. Anything else is a type mismatch (RunTimeError 13).
double EventNumberValue(const std::string& text);

// Handles one new entry. `list` is the list box's items in order.
void FilterEntry(const LogHandler& handler, const FilterSettings& settings, const std::vector<std::string>& list,
                 RecordView& record, const FilterHooks& hooks);

}  // namespace quenloc
