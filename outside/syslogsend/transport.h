// Putting composed syslog messages on the wire.
#pragma once

#include <string>
#include <vector>

#include "core/syslog_message.h"

namespace syslogsend {

// Sends the messages in order to the destination. UDP: one datagram each, cut at
// kMaxDatagram. TCP: one connection, octet-counting framing; delivered means the receiver
// read up to the end of the stream (it closed its side after ours) or at least refused
// nothing within a few seconds. kSent, or the status of what failed.
ExitStatus Deliver(const Destination& destination, const std::vector<std::string>& messages);

// Failures that may pass when the receiver or the network comes back.
inline bool Transient(ExitStatus s) {
    return s == kNameNotResolved || s == kConnectFailed || s == kSendFailed || s == kNetworkDown;
}

}  // namespace syslogsend
