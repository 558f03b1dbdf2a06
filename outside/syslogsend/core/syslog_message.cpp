#include "syslog_message.h"

#include <cstdio>

namespace syslogsend {

const char* StatusText(ExitStatus status) {
    switch (status) {
    case kSent: return "sent";
    case kBadArgument: return "usage: syslogsend \"<PRI>text\" (PRI from 0 to 191)";
    case kNoServer: return "no syslog server is set (SyslogConsoleName)";
    case kBadPort: return "SyslogConsolePort is not a port number from 1 to 65535";
    case kNameNotResolved: return "the syslog server's name does not resolve";
    case kConnectFailed: return "the syslog server does not accept a connection";
    case kSendFailed: return "the message could not be sent whole";
    case kNetworkDown: return "the network cannot be used";
    case kSpooled: return "not delivered yet: the message waits in the spool until the server answers";
    }
    return "failed";
}

std::optional<SyslogArgument> ParseArgument(const std::string& argument) {
    if (argument.size() < 3 || argument[0] != '<') return std::nullopt;
    size_t close = argument.find('>');
    if (close == std::string::npos || close < 2 || close > 4) return std::nullopt;
    int priority = 0;
    for (size_t i = 1; i < close; ++i) {
        char c = argument[i];
        if (c < '0' || c > '9') return std::nullopt;
        priority = priority * 10 + (c - '0');
    }
    // No leading zeros, as RFC 3164 writes the number.
    if (close > 2 && argument[1] == '0') return std::nullopt;
    if (priority > 191) return std::nullopt;
    return SyslogArgument{priority, argument.substr(close + 1)};
}

std::optional<Destination> ParseDestination(const std::string& server, const std::string& port,
                                            const std::string& protocol, ExitStatus& status) {
    Destination d;
    if (server.empty()) {
        status = kNoServer;
        return std::nullopt;
    }
    d.host = server;
    d.udp = protocol == "UDP";
    if (!port.empty()) {
        if (port.size() > 5) {
            status = kBadPort;
            return std::nullopt;
        }
        unsigned value = 0;
        for (char c : port) {
            if (c < '0' || c > '9') {
                status = kBadPort;
                return std::nullopt;
            }
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (value == 0 || value > 65535) {
            status = kBadPort;
            return std::nullopt;
        }
        d.port = static_cast<unsigned short>(value);
    }
    return d;
}

std::string ComposeMessage(int priority, const LocalTime& t, const std::string& host_name, const std::string& text) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::string host = host_name.substr(0, host_name.find('.'));
    for (auto& c : host) {
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) c = '-';
    }
    if (host.empty()) host = "-";
    int month = (t.month >= 1 && t.month <= 12) ? t.month : 1;
    char stamp[32];
    std::snprintf(stamp, sizeof(stamp), "%s %2d %02d:%02d:%02d", kMonths[month - 1], t.day % 100, t.hour % 100,
                  t.minute % 100, t.second % 100);
    return "<" + std::to_string(priority) + ">" + stamp + " " + host + " Vantrel: " + text;
}

std::string FrameOctetCounting(const std::string& message) {
    return std::to_string(message.size()) + " " + message;
}

}  // namespace syslogsend
