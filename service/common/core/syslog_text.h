// Syslog priorities, the sender's one argument, and the command line that carries it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::common {

// facility * 8 + severity in 16-bit signed arithmetic; a step outside that range is an
// overflow RunTimeError (number 6).
int16_t SyslogPriority(int16_t facility, int16_t severity);

// The sender's argument: "<", the priority in decimal, ">", the text.
std::string SyslogLine(int priority, const std::string& text);

// The argument quoted by the platform's command-line rules, so that the started
// program receives exactly this text as one argument, whatever quotes, backslashes,
// blanks or line breaks it holds. NUL characters cannot cross a command line and are
// left out.
std::string QuoteArgument(const std::string& argument);

// The arguments of a command line split by the same rules (the C run time's, and
// CommandLineToArgvW's). The program name, first, ends at the next blank or tab, or is
// everything up to the closing quote when it begins with one.
std::vector<std::string> SplitCommandLine(const std::string& command_line);

// The full command line that starts the sender in the programs' folder with one
// argument: the quoted program path, one blank, the quoted argument.
std::string SenderCommandLine(const std::string& programs_folder, const std::string& argument);

constexpr const char* kSenderFileName = "syslogsend.exe";

// Facility and severity of the debug lines and the manager's test message.
constexpr int16_t kDebugFacility = 1;
constexpr int16_t kDebugSeverity = 6;

}  // namespace vantrel::common
