// The syslog sender's entries in the Application log and its one cross-process signal.
#pragma once

namespace syslogsend {

// The event source of every entry the sender writes.
constexpr char kEventSource[] = "syslogsend";

// Warning: a message could be neither delivered nor kept in the spool, and is lost. One
// string: the whole text.
constexpr unsigned long kEventMessageLost = 1;

// Warning: the sender that delivered the spool could not take what it delivered out of
// the file for an hour, and ended: those messages may be delivered again. One string.
constexpr unsigned long kEventDeliveredUnmarked = 2;

// Set by the installer: senders that wait for their receiver end once their spool is saved
// (a global manual-reset event, made by whichever comes first).
constexpr char kEndRequestEvent[] = "VantrelSyslogSendersEnd";

}  // namespace syslogsend
