// What syslogsend puts on the wire: the argument it is given, the destination from the
// settings, an RFC 3164 message and RFC 6587 octet-counting framing for TCP.
#pragma once

#include <optional>
#include <string>

#include "core/settings_table.h"

namespace syslogsend {

// Exit statuses of syslogsend.exe: what failed.
enum ExitStatus {
    kSent = 0,
    kBadArgument = 1,      // not exactly one argument of the form "<PRI>text"
    kNoServer = 2,         // "SyslogConsoleName" empty or unreadable
    kBadPort = 3,          // "SyslogConsolePort" not a number from 1 to 65535
    kNameNotResolved = 4,  // the server name does not resolve
    kConnectFailed = 5,    // TCP: refused, unreachable or timed out
    kSendFailed = 6,       // the message could not be sent whole
    kNetworkDown = 7,      // the socket library could not start
    kSpooled = 8,          // TCP: not delivered yet; in the spool, which a sender delivers
};

// What the status says, for a person who ran the sender by hand.
const char* StatusText(ExitStatus status);

struct SyslogArgument {
    int priority;  // 0 to 191
    std::string text;
};

// "<", 1 to 3 decimal digits for a priority of at most 191, ">", then the text (which
// may be empty and may hold any characters). Anything else is nullopt.
std::optional<SyslogArgument> ParseArgument(const std::string& argument);

struct Destination {
    std::string host;
    unsigned short port =
        static_cast<unsigned short>(vantrel::common::FallbackNumber(vantrel::common::SettingId::SyslogConsolePort));
    bool udp = false;
};

// The destination from the three settings as read (an unreadable setting is empty):
// "UDP" exactly selects UDP, anything else TCP; an empty port means 514.
// On failure the status says why (kNoServer, kBadPort).
std::optional<Destination> ParseDestination(const std::string& server, const std::string& port,
                                            const std::string& protocol, ExitStatus& status);

struct LocalTime {
    int month;  // 1 to 12
    int day;    // 1 to 31
    int hour, minute, second;
};

// An RFC 3164 message: "<PRI>Mmm dd hh:mm:ss HOSTNAME Vantrel: text". The host name is
// cut at its first dot and blanks or control characters in it become "-".
std::string ComposeMessage(int priority, const LocalTime& time, const std::string& host_name,
                          const std::string& text);

// RFC 6587 octet counting: the length in decimal, one blank, the message. The message
// may then hold line breaks.
std::string FrameOctetCounting(const std::string& message);

// The largest payload of one UDP datagram; a longer message is cut there.
constexpr size_t kMaxDatagram = 65507;

}  // namespace syslogsend
