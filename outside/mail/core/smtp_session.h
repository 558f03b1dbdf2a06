// The SMTP dialogue of one message, over any channel: greeting, EHLO (HELO when the
// server does not know it), STARTTLS when offered, AUTH when a user name is set (only
// ever inside TLS), one RCPT per recipient, DATA, QUIT. Every failure becomes one
// readable text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "mail_text.h"

namespace velmsendmail {

// What the session needs of a connection. Each call reports a failure as false and
// leaves a readable text in error.
class SmtpChannel {
public:
    virtual ~SmtpChannel() = default;
    virtual bool Write(const std::string& data, std::string& error) = 0;
    // One line without its line end.
    virtual bool ReadLine(std::string& line, std::string& error) = 0;
    // Turns the connection into TLS (the server has just agreed to STARTTLS).
    virtual bool StartTls(std::string& error) = 0;
    // From now on a reply may take up to `ms` (still within the session's limit).
    virtual void AllowSlowReply(unsigned ms) { (void)ms; }
};

// How long the answer to the end of a message is waited for: a server may check and
// store the message before it answers, and a try given up too early sends a copy.
constexpr unsigned kMessageReplyMs = 10 * 60 * 1000;

struct Envelope {
    std::string client_name;              // for EHLO
    std::string from;
    std::vector<std::string> recipients;
    std::string user;                     // empty: no AUTH
    std::string password;
    std::string data;                     // the composed message, not yet dot-stuffed
};

struct SessionResult {
    std::optional<std::string> error;  // why the message was not sent
    std::vector<Refusal> refused;      // recipients the server refused; the others have it
    // The error may pass (no answer, a lost connection, a 4xx reply): worth another try.
    bool passing = false;
    // The whole message went out and no answer to its end came: the server may have it,
    // so another try may be a second copy.
    bool unanswered_end = false;
};

// Runs the dialogue. The message goes out when the server accepts at least one recipient.
SessionResult RunSession(SmtpChannel& channel, const Envelope& envelope);

// The control's outcome text: empty when every recipient has the message, else what
// failed, naming each recipient that was left out (invalid ones first, as given).
std::string OutcomeText(const SessionResult& result, const std::vector<Refusal>& invalid);

}  // namespace velmsendmail
