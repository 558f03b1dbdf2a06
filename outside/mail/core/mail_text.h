// Message composition for the mail control: addresses, headers that event text cannot
// break out of, MIME body encoding, and the SMTP data form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmsendmail {

// The server text "host", "host:port" or "[v6 address]:port"; the port defaults to 25.
struct ServerAddress {
    std::string host;
    uint16_t port = 25;
};
std::optional<ServerAddress> ParseServer(const std::string& server);

// A mail address as SMTP carries it between angle brackets: printable ASCII with no
// blank, no angle bracket, comma, semicolon, quote, parenthesis or backslash.
bool IsValidAddress(const std::string& address);

// The recipients of a comma-separated text, blanks around each trimmed, empty entries
// skipped.
std::vector<std::string> SplitRecipients(const std::string& text);

// A recipient that does not get the message, and why.
struct Refusal {
    std::string address;
    std::string reason;
};

// The recipients of a comma-separated text: the valid addresses, and the others, which
// never reach the server or a header.
struct Recipients {
    std::vector<std::string> valid;
    std::vector<Refusal> invalid;
};
Recipients SortRecipients(const std::string& text);

// A header value made safe: every CR, LF or CR LF becomes one blank, other control
// characters (tab aside) are removed.
std::string SanitizeHeaderText(const std::string& utf8);

// Date header text, e.g. "Wed, 09 Dec 2026 05:27:33 +0100".
struct DateTime {
    int year, month, day, weekday;  // weekday 0 = Sunday
    int hour, minute, second;
    int utc_offset_minutes;         // local time minus UTC
};
std::string FormatDate(const DateTime& t);

struct MailFields {
    std::string from;                     // a valid address
    std::vector<std::string> to;          // valid addresses, at least one
    std::string subject;                  // UTF-8, any content
    std::string body;                     // UTF-8, any content; line breaks of any kind
    std::string date;                     // FormatDate
    std::string message_id;               // "<...@...>"
};

// The whole message with CR LF line ends: RFC 5322 headers (Date, From, To, Subject,
// Message-ID), MIME type text/plain with charset utf-8, and the body in 7bit or, when it
// holds non-ASCII bytes or long lines, quoted-printable.
std::string ComposeMessage(const MailFields& fields);

// The message as the DATA command sends it: every line that begins with "." gets a
// second one, and the end marker "." on a line of its own follows.
std::string DotStuff(const std::string& message);

std::string Base64(const std::string& bytes);

// "<hex.hex.hex@domain>"; the domain is taken from the sender address when it has one.
std::string MakeMessageId(uint64_t time_value, uint64_t unique, const std::string& from, const std::string& host);

}  // namespace velmsendmail
