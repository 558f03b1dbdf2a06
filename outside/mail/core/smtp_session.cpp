#include "smtp_session.h"

#include <algorithm>
#include <cctype>

#include "mail_text.h"
#include "retry_plan.h"

namespace velmsendmail {

namespace {

struct Reply {
    int code = 0;
    std::vector<std::string> lines;  // texts after the code
    std::string Text() const {
        std::string t = std::to_string(code);
        for (size_t i = 0; i < lines.size(); ++i) t += (i ? " / " : " ") + lines[i];
        return t;
    }
};

constexpr size_t kMaxReplyLines = 512;

class Dialogue {
public:
    Dialogue(SmtpChannel& c) : c_(c) {}

    bool Read(Reply& r, const char* after) {
        r = Reply();
        for (size_t n = 0; n < kMaxReplyLines; ++n) {
            std::string line, error;
            if (!c_.ReadLine(line, error))
                return Fail(std::string("No reply from the server after ") + after + ": " + error, true);
            if (line.size() < 3 || !isdigit(static_cast<unsigned char>(line[0])) ||
                !isdigit(static_cast<unsigned char>(line[1])) || !isdigit(static_cast<unsigned char>(line[2])) ||
                (line.size() > 3 && line[3] != ' ' && line[3] != '-'))
                return Fail(std::string("The server sent an unreadable reply after ") + after + ": " + line.substr(0, 200));
            int code = std::stoi(line.substr(0, 3));
            if (n && code != r.code) return Fail(std::string("The server sent an unreadable reply after ") + after);
            r.code = code;
            r.lines.push_back(line.size() > 4 ? line.substr(4) : std::string());
            if (line.size() == 3 || line[3] == ' ') return true;
        }
        return Fail(std::string("The server's reply after ") + after + " does not end");
    }

    // Sends a command and reads its reply; the command text shows in errors unless hidden.
    bool Command(const std::string& line, Reply& r, const std::string& shown) {
        std::string error;
        if (!c_.Write(line + "\r\n", error)) return Fail("Cannot send " + shown + " to the server: " + error, true);
        return Read(r, shown.c_str());
    }

    bool Expect(const Reply& r, int low, int high, const std::string& what) {
        if (r.code >= low && r.code <= high) return true;
        return Fail("The server refused " + what + ": " + r.Text(), IsPassingReply(r.code));
    }

    // The first failure is the one reported; passing when a later try may succeed.
    bool Fail(const std::string& why, bool passing = false) {
        if (!error_) {
            error_ = why;
            passing_ = passing;
        }
        return false;
    }

    std::optional<std::string> error_;
    bool passing_ = false;
    SmtpChannel& c_;
};

std::string Upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
}

struct Capabilities {
    bool ehlo = false;
    bool starttls = false;
    bool plain = false;
    bool login = false;
};

Capabilities Parse(const Reply& r, bool ehlo) {
    Capabilities caps;
    caps.ehlo = ehlo;
    if (!ehlo) return caps;
    for (size_t i = 1; i < r.lines.size(); ++i) {
        std::string l = Upper(r.lines[i]);
        if (l == "STARTTLS") caps.starttls = true;
        if (l.rfind("AUTH ", 0) == 0 || l.rfind("AUTH=", 0) == 0) {
            std::string mechs = " " + l.substr(5) + " ";
            if (mechs.find(" PLAIN ") != std::string::npos) caps.plain = true;
            if (mechs.find(" LOGIN ") != std::string::npos) caps.login = true;
        }
    }
    return caps;
}

bool Hello(Dialogue& d, const std::string& name, Capabilities& caps) {
    Reply r;
    if (!d.Command("EHLO " + name, r, "EHLO")) return false;
    if (r.code == 250) {
        caps = Parse(r, true);
        return true;
    }
    if (r.code < 500 || r.code > 504) return d.Expect(r, 250, 250, "EHLO");
    if (!d.Command("HELO " + name, r, "HELO") || !d.Expect(r, 250, 250, "HELO")) return false;
    caps = Capabilities();
    return true;
}

bool Authenticate(Dialogue& d, const Envelope& e, const Capabilities& caps) {
    Reply r;
    if (caps.plain) {
        std::string token = Base64(std::string(1, '\0') + e.user + std::string(1, '\0') + e.password);
        if (!d.Command("AUTH PLAIN " + token, r, "AUTH PLAIN")) return false;
        return d.Expect(r, 235, 235, "the user name or password (AUTH PLAIN)");
    }
    if (caps.login) {
        if (!d.Command("AUTH LOGIN", r, "AUTH LOGIN") || !d.Expect(r, 334, 334, "AUTH LOGIN")) return false;
        if (!d.Command(Base64(e.user), r, "the user name") || !d.Expect(r, 334, 334, "the user name (AUTH LOGIN)"))
            return false;
        if (!d.Command(Base64(e.password), r, "the password")) return false;
        return d.Expect(r, 235, 235, "the user name or password (AUTH LOGIN)");
    }
    return d.Fail("A user name is set, but the server offers no authentication by PLAIN or LOGIN" +
                  std::string(caps.ehlo ? "" : " (it does not support EHLO)"));
}

}  // namespace

SessionResult RunSession(SmtpChannel& channel, const Envelope& e) {
    Dialogue d(channel);
    Reply r;
    Capabilities caps;
    bool ok = d.Read(r, "connecting") && d.Expect(r, 220, 220, "the connection") && Hello(d, e.client_name, caps);
    bool secure = false;
    if (ok && caps.starttls) {
        std::string error;
        ok = d.Command("STARTTLS", r, "STARTTLS") && d.Expect(r, 220, 220, "STARTTLS");
        // Never falls back to plain text once the server offered TLS.
        if (ok && !channel.StartTls(error)) ok = d.Fail("The secure connection (STARTTLS) failed: " + error);
        if (ok) ok = Hello(d, e.client_name, caps);
        caps.starttls = false;
        secure = ok;
    }
    // Whoever can strip STARTTLS from the server's reply would read the password.
    if (ok && !e.user.empty() && !secure)
        ok = d.Fail("A user name is set, but the server offers no secure connection (STARTTLS), "
                    "and the password is never sent in plain text");
    if (ok && !e.user.empty()) ok = Authenticate(d, e, caps);
    if (ok) ok = d.Command("MAIL FROM:<" + e.from + ">", r, "MAIL FROM") && d.Expect(r, 250, 250, "the sender <" + e.from + ">");
    SessionResult result;
    size_t accepted = 0;
    bool refused_for_now = false;
    for (size_t i = 0; ok && i < e.recipients.size(); ++i) {
        const std::string& to = e.recipients[i];
        ok = d.Command("RCPT TO:<" + to + ">", r, "RCPT TO");
        if (ok && (r.code == 250 || r.code == 251)) ++accepted;
        else if (ok) {
            result.refused.push_back({to, r.Text()});
            refused_for_now = refused_for_now || IsPassingReply(r.code);
        }
    }
    if (ok && !accepted) ok = d.Fail("The server refused every recipient", refused_for_now);
    if (ok) ok = d.Command("DATA", r, "DATA") && d.Expect(r, 354, 354, "DATA");
    if (ok) {
        std::string error;
        if (!channel.Write(DotStuff(e.data), error))
            ok = d.Fail("Cannot send the message to the server: " + error, true);
        else {
            channel.AllowSlowReply(kMessageReplyMs);
            // Read fails as passing only when no reply came.
            ok = d.Read(r, "the message");
            result.unanswered_end = !ok && d.passing_;
            ok = ok && d.Expect(r, 250, 250, "the message");
        }
    }
    // Once the message is accepted the answer to QUIT no longer matters.
    std::string error;
    channel.Write("QUIT\r\n", error);
    if (!ok) {
        result.error = d.error_ ? *d.error_ : std::string("The message was not sent");
        result.passing = d.passing_;
    }
    return result;
}

namespace {

// An address as an error text shows it: a valid one between angle brackets, any other
// quoted, with control characters written as \xNN and cut after 100 bytes.
std::string Shown(const std::string& address) {
    if (IsValidAddress(address)) return "<" + address + ">";
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "\"";
    size_t n = std::min<size_t>(address.size(), 100);
    // Never cut inside a UTF-8 character.
    while (n < address.size() && n > 0 && (static_cast<unsigned char>(address[n]) & 0xC0) == 0x80) --n;
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(address[i]);
        if (c < 0x20 || c == 0x7F) out += std::string("\\x") + hex[c >> 4] + hex[c & 15];
        else out += static_cast<char>(c);
    }
    return out + (n < address.size() ? "...\"" : "\"");
}

}  // namespace

std::string OutcomeText(const SessionResult& result, const std::vector<Refusal>& invalid) {
    std::string names;
    for (const auto* list : {&invalid, &result.refused})
        for (const auto& r : *list) names += (names.empty() ? "" : "; ") + Shown(r.address) + ": " + r.reason;
    if (result.error) return *result.error + (names.empty() ? "" : " (not sent to " + names + ")");
    return names.empty() ? std::string() : "The message was sent to the other recipients, not to " + names;
}

}  // namespace velmsendmail
