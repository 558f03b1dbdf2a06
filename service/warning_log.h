// A warning of the service in the Application log, written through the host control under
// the service's event source with the id of its message in the source's message file
// (quenloc_messages.mc), so that the event viewer shows its text.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>

namespace quenloc {

// Raises the host control's failure as a run-time error. A host control without ids of
// its own writes the text through LogEvent, with the one id LogEvent writes.
void LogWarningWithId(IDispatch* host, const std::string& text, unsigned long event_id);

}  // namespace quenloc
