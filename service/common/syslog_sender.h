// Starting the syslog sender program, and the service's debug lines through it.
#pragma once

#include <string>

namespace vantrel::common {

// The folder that holds the running program, without a trailing backslash.
std::string ProgramsFolder();

// Starts "syslogsend.exe" from the folder, hidden, with the one argument quoted by the
// platform's command-line rules, and goes on at once. A start that fails for a passing
// reason is tried again (StartWithRetries); one that still fails throws RunTimeError. The
// sender's own outcome is never awaited.
void StartSyslogSender(const std::string& programs_folder, const std::string& argument);

// The service's debug switch: off at program start, on once the setting "Debug" read "1".
extern bool DebugEnabled;

// Sends the text as a syslog line of priority 14 through the sender in the programs'
// folder. Start failures throw RunTimeError.
void SendDebugSyslog(const std::string& text);

// SendDebugSyslog when DebugEnabled is on; nothing otherwise.
void DebugLog(const std::string& text);

}  // namespace vantrel::common
