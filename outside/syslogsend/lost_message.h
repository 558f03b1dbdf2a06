// Where a message that can be neither delivered nor kept is named: the Application log and,
// with "Debug" at "1", the debug output.
#pragma once

#include <string>

namespace syslogsend {

// Every sender is a process of its own: the first loss is written at once, later ones at
// most once an hour across all of them, each warning counting the losses since the last.
// Best-effort: a log that cannot be written loses the warning, never more.
void ReportLost(const std::string& message, const std::string& why, bool debug);

// The losses counted since the last warning, once a warning is due again: so that they are
// said even when no further loss comes to name them. Every sender calls it at its end.
void ReportLostSinceWarning();

// A warning under the sender's event source; best-effort.
void WriteWarning(unsigned long event_id, const std::string& text);

}  // namespace syslogsend
