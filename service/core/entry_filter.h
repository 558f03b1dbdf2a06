// The log-entry filter of the six NewLogEntry handlers: the type switches, then the
// include or exclude list. One routine; the handlers differ only in texts and label.
#pragma once

#include <cstddef>
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

// The platform's text conversions; the Windows shell supplies them.
struct TextRules {
    // A list line's event number as a double, as the platform converts text to a number.
    // Throws vantrel::common::RunTimeError (13 type mismatch, 6 overflow) when the text
    // cannot be evaluated.
    std::function<double(const std::string&)> number;
    // The text in upper case, for every letter of the system's code page.
    std::function<std::string(const std::string&)> upper;
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
    TextRules text;
};

// Handles one new entry. `list` is the list box's items in order.
void FilterEntry(const LogHandler& handler, const FilterSettings& settings, const std::vector<std::string>& list,
                 RecordView& record, const FilterHooks& hooks);

// A list line whose event number cannot be evaluated. In exclude mode it excludes nothing;
// in include mode it fails for every entry that reaches it, whatever its source.
struct UnusableLine {
    size_t line;             // from 1, in list order
    std::string text;
    std::string error;       // why the number cannot be evaluated: "Type mismatch", "Overflow"
};
std::vector<UnusableLine> UnusableListLines(const std::vector<std::string>& list, const TextRules& text);

// The warning that names those lines once per start, saying what they do in the list's
// mode; empty when there are none. Control characters are shown ("<TAB>", "?"), long lines
// and long lists are cut short.
std::string UnusableLinesWarning(const std::vector<UnusableLine>& lines, bool include_mode);

}  // namespace quenloc
