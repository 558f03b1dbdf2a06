// The syslog sender's event source and its one cross-process signal; the ids of its
// entries come from syslogsend_messages.h, the header of its message file.
#pragma once

namespace syslogsend {

// The event source of every entry the sender writes.
constexpr char kEventSource[] = "syslogsend";

// Set by the installer: senders that wait for their receiver end once their spool is saved
// (a global manual-reset event, made by whichever comes first).
constexpr char kEndRequestEvent[] = "VantrelSyslogSendersEnd";

}  // namespace syslogsend
