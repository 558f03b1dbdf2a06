// Where a name given to OpenEventLogA or RegisterEventSourceA leads: the computer must be
// this one, and the name is a log, a source of some log, or neither (then Application).
#pragma once

#include <windows.h>

#include <string>

#include "platform/evtlog/core/evt_ring.h"

namespace vantrel::evtlog {

// True for no name, an empty one, or this computer's name in any case, with or without
// leading backslashes.
bool IsLocalComputer(const char* server);

// The log a name stands for, spelt as its registry key is. A log is any subkey of the
// EventLog key, values or none, except the service's own Parameters key (unless it
// carries log values: File, MaxSize, Retention or Sources).
std::wstring ResolveLog(const std::wstring& name);

struct LogConfig {
    std::wstring path;  // full path of the log file
    evt::Settings settings;
};
// The log's File, MaxSize and Retention values, with the platform's defaults.
LogConfig ReadLogConfig(const std::wstring& log);

std::wstring Widen(const char* ansi);  // through the ANSI code page
std::wstring Upper(std::wstring s);

}  // namespace vantrel::evtlog
