// The mail control's portable core: addresses, composition and the SMTP dialogue
// against a scripted server.
#include <gtest/gtest.h>

#include <deque>

#include "core/mail_text.h"
#include "core/retry_plan.h"
#include "core/smtp_session.h"

using namespace velmsendmail;

namespace {

TEST(Addresses, ServerTextRecipientListAndValidity) {
    EXPECT_EQ(ParseServer("mail.example")->port, 25);
    EXPECT_EQ(ParseServer("mail.example:587")->port, 587);
    EXPECT_EQ(ParseServer("mail.example:587")->host, "mail.example");
    EXPECT_EQ(ParseServer("[::1]:2525")->host, "::1");
    EXPECT_EQ(ParseServer("[::1]")->port, 25);
    for (const char* bad : {"", ":25", "host:", "host:0", "host:65536", "host:2x", "[::1", "bad host", "[::1]x"})
        EXPECT_FALSE(ParseServer(bad)) << bad;

    EXPECT_EQ(SplitRecipients("a@x,b@y"), (std::vector<std::string>{"a@x", "b@y"}));
    EXPECT_EQ(SplitRecipients(",a@x,, , b@y ,"), (std::vector<std::string>{"a@x", "b@y"}));
    EXPECT_TRUE(SplitRecipients("").empty());
    EXPECT_TRUE(IsValidAddress("ops+alerts@example.com"));
    EXPECT_TRUE(IsValidAddress("postmaster"));
    for (const char* bad : {"", "a b@x", "a@x\r\nBcc: evil@x", "a@x>", "<a@x", "a\"@x", "a@x\n"})
        EXPECT_FALSE(IsValidAddress(bad)) << bad;
}

TEST(Compose, HeadersCannotBeInjectedThroughTheSubject) {
    MailFields f{"from@example.com", {"a@example.com", "b@example.com"},
                 "Computer: SRV - Record\r\nBcc: evil@example.com\nX: y\rZ", "Body", "Wed, 09 Dec 2026 05:27:33 +0000",
                 "<1.2.vantrel@example.com>"};
    std::string m = ComposeMessage(f);
    std::string headers = m.substr(0, m.find("\r\n\r\n") + 2);
    EXPECT_NE(headers.find("Subject: Computer: SRV - Record Bcc: evil@example.com X: y Z\r\n"), std::string::npos)
        << headers;
    // Every header line begins a field or is a continuation; nothing else gets in.
    size_t pos = 0;
    int fields = 0;
    while (pos < headers.size()) {
        size_t end = headers.find("\r\n", pos);
        std::string line = headers.substr(pos, end - pos);
        if (line[0] != ' ') ++fields;
        EXPECT_EQ(line.find('\r'), std::string::npos);
        EXPECT_EQ(line.find('\n'), std::string::npos);
        pos = end + 2;
    }
    EXPECT_EQ(fields, 8);
    EXPECT_EQ(headers.find("\r\nBcc:"), std::string::npos);
    EXPECT_NE(headers.find("To: a@example.com, b@example.com\r\n"), std::string::npos);
    EXPECT_NE(headers.find("Content-Type: text/plain; charset=utf-8\r\n"), std::string::npos);
    EXPECT_NE(m.find("Content-Transfer-Encoding: 7bit\r\n\r\nBody"), std::string::npos);
}

TEST(Compose, NonAsciiAndLongTextsAreEncodedWithinLineLimits) {
    MailFields f{"f@x", {"t@x"}, "Ereignis \xC3\xBC" "ber Dienst", "Zeile \xC3\xA4\nzwei=3\r\n" + std::string(1200, 'L'),
                 "d", "<i@x>"};
    std::string m = ComposeMessage(f);
    EXPECT_NE(m.find("Subject: =?utf-8?B?RXJlaWduaXMgw7xiZXIgRGllbnN0?=\r\n"), std::string::npos) << m;
    EXPECT_NE(m.find("Content-Transfer-Encoding: quoted-printable\r\n"), std::string::npos);
    EXPECT_NE(m.find("\r\n\r\nZeile =C3=A4\r\nzwei=3D3\r\n"), std::string::npos) << m;
    size_t pos = 0;
    while (pos < m.size()) {
        size_t end = m.find("\r\n", pos);
        if (end == std::string::npos) end = m.size();
        EXPECT_LE(end - pos, 78u) << m.substr(pos, 80);
        pos = end + 2;
    }
    // A long plain subject folds at blanks.
    std::string words;
    for (int i = 0; i < 30; ++i) words += "word" + std::to_string(i) + " ";
    MailFields g{"f@x", {"t@x"}, words, "", "d", "<i@x>"};
    std::string s = ComposeMessage(g);
    EXPECT_NE(s.find("\r\n word"), std::string::npos);
}

TEST(Compose, DotStuffingDateAndBase64) {
    EXPECT_EQ(DotStuff("a\r\n.b\r\n..c\r\nd.e"), "a\r\n..b\r\n...c\r\nd.e\r\n.\r\n");
    EXPECT_EQ(DotStuff(".\r\n"), "..\r\n.\r\n");
    EXPECT_EQ(DotStuff(""), "\r\n.\r\n");
    EXPECT_EQ(FormatDate({2026, 12, 9, 3, 5, 7, 3, 60}), "Wed, 09 Dec 2026 05:07:03 +0100");
    EXPECT_EQ(FormatDate({2026, 1, 31, 6, 23, 0, 0, -330}), "Sat, 31 Jan 2026 23:00:00 -0530");
    EXPECT_EQ(Base64(""), "");
    EXPECT_EQ(Base64("f"), "Zg==");
    EXPECT_EQ(Base64("fo"), "Zm8=");
    EXPECT_EQ(Base64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(MakeMessageId(255, 1, "me@example.com", "HOST"), "<ff.1.vantrel@example.com>");
    EXPECT_EQ(MakeMessageId(255, 1, "me", "HOST"), "<ff.1.vantrel@HOST>");
}

// A server that answers from a script and records what the client sent.
class ScriptedServer : public SmtpChannel {
public:
    explicit ScriptedServer(std::deque<std::string> replies) : replies_(std::move(replies)) {}
    bool Write(const std::string& data, std::string&) override {
        sent += data;
        return true;
    }
    bool ReadLine(std::string& line, std::string& error) override {
        if (replies_.empty()) {
            error = "connection closed";
            return false;
        }
        line = replies_.front();
        replies_.pop_front();
        return true;
    }
    bool StartTls(std::string& error) override {
        tls_started = true;
        if (tls_fails) error = "certificate not trusted";
        return !tls_fails;
    }
    void AllowSlowReply(unsigned ms) override { slow_reply_ms = ms; }
    std::string sent;
    unsigned slow_reply_ms = 0;
    bool tls_started = false;
    bool tls_fails = false;

private:
    std::deque<std::string> replies_;
};

Envelope Mail(std::string user = "") {
    return {"client", "f@x", {"a@x", "b@x"}, user, "pw", "Subject: s\r\n\r\n.dot\r\n"};
}

TEST(Session, ARefusedRecipientDoesNotStopTheMailToTheOthers) {
    ScriptedServer s({"220 hi", "250 srv", "250 ok", "250 ok", "550 5.1.1 no such user", "251 forwarded", "354 go",
                      "250 queued"});
    Envelope e = Mail();
    e.recipients = {"a@x", "b@x", "c@x"};
    auto r = RunSession(s, e);
    EXPECT_EQ(r.error, std::nullopt);
    EXPECT_NE(s.sent.find("RCPT TO:<c@x>\r\nDATA\r\n"), std::string::npos) << s.sent;
    auto sorted = SortRecipients("a@x, b c@x,,\x01\r\n" + std::string(200, 'z'));
    EXPECT_EQ(sorted.valid, std::vector<std::string>{"a@x"});
    ASSERT_EQ(sorted.invalid.size(), 2u);
    EXPECT_EQ(OutcomeText(r, sorted.invalid),
              "The message was sent to the other recipients, not to \"b c@x\": not a valid mail address; \"\\x01\\x0D\\x0A" +
                  std::string(97, 'z') + "...\": not a valid mail address; <b@x>: 550 5.1.1 no such user");
    EXPECT_EQ(OutcomeText(SessionResult{}, {}), "");
    EXPECT_EQ(OutcomeText(SessionResult{std::string("Cannot connect"), {}}, sorted.invalid).rfind(
                  "Cannot connect (not sent to \"b c@x\": not a valid mail address; ", 0),
              0u);
}

TEST(Session, TheEndOfTheMessageIsWaitedForLongAndAnUnansweredOneIsMarked) {
    // A server that stores the message before it answers may take minutes over its end;
    // a try given up sooner sends it again.
    ScriptedServer late({"220 hi", "250 srv", "250 ok", "250 ok", "250 ok", "354 go"});
    auto r = RunSession(late, Mail());
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->rfind("No reply from the server after the message: connection closed", 0), 0u) << *r.error;
    EXPECT_TRUE(r.passing);
    EXPECT_TRUE(r.unanswered_end);
    EXPECT_EQ(late.slow_reply_ms, 10u * 60 * 1000);
    // Lost before the message went out, or answered with a refusal: no copy there.
    ScriptedServer early({"220 hi", "250 srv", "250 ok", "250 ok", "250 ok"});
    r = RunSession(early, Mail());
    EXPECT_TRUE(r.passing);
    EXPECT_FALSE(r.unanswered_end);
    EXPECT_EQ(early.slow_reply_ms, 0u);
    ScriptedServer busy({"220 hi", "250 srv", "250 ok", "250 ok", "250 ok", "354 go", "451 try later"});
    r = RunSession(busy, Mail());
    EXPECT_TRUE(r.passing);
    EXPECT_FALSE(r.unanswered_end);
}

TEST(Session, PlainDialogueWithOneRcptPerRecipient) {
    ScriptedServer s({"220 hi", "250-srv", "250 SIZE 100", "250 ok", "250 ok", "250 ok", "354 go", "250 queued"});
    EXPECT_EQ(RunSession(s, Mail()).error, std::nullopt);
    EXPECT_EQ(s.sent, "EHLO client\r\nMAIL FROM:<f@x>\r\nRCPT TO:<a@x>\r\nRCPT TO:<b@x>\r\nDATA\r\n"
                      "Subject: s\r\n\r\n..dot\r\n.\r\nQUIT\r\n");
}

// The greeting, EHLO with STARTTLS, the go-ahead and EHLO again inside TLS; then `more`.
std::deque<std::string> AfterTls(const std::string& auth_line, std::deque<std::string> more) {
    std::deque<std::string> r{"220 hi", "250-srv", "250-STARTTLS", "250 " + auth_line, "220 go ahead", "250-srv",
                              "250 " + auth_line};
    r.insert(r.end(), more.begin(), more.end());
    return r;
}

TEST(Session, HeloFallbackAndAuthChoices) {
    ScriptedServer helo({"220 hi", "502 no", "250 hello", "250 ok", "250 ok", "250 ok", "354 go", "250 queued"});
    EXPECT_EQ(RunSession(helo, Mail()).error, std::nullopt);
    EXPECT_EQ(helo.sent.rfind("EHLO client\r\nHELO client\r\nMAIL", 0), 0u);

    ScriptedServer plain(AfterTls("AUTH LOGIN PLAIN", {"235 ok", "250 ok", "250 ok", "250 ok", "354 go", "250 queued"}));
    EXPECT_EQ(RunSession(plain, Mail("user")).error, std::nullopt);
    EXPECT_NE(plain.sent.find("AUTH PLAIN AHVzZXIAcHc=\r\n"), std::string::npos);

    ScriptedServer login(AfterTls("AUTH=LOGIN", {"334 VXNlcm5hbWU6", "334 UGFzc3dvcmQ6", "235 ok", "250 ok", "250 ok",
                                                 "250 ok", "354 go", "250 queued"}));
    EXPECT_EQ(RunSession(login, Mail("user")).error, std::nullopt);
    EXPECT_NE(login.sent.find("AUTH LOGIN\r\ndXNlcg==\r\ncHc=\r\n"), std::string::npos);

    ScriptedServer none(AfterTls("SIZE 100", {}));
    auto e = RunSession(none, Mail("user")).error;
    ASSERT_TRUE(e);
    EXPECT_NE(e->find("no authentication"), std::string::npos);
    EXPECT_EQ(none.sent.find("MAIL"), std::string::npos);

    ScriptedServer refused(AfterTls("AUTH PLAIN", {"535 5.7.8 bad credentials"}));
    e = RunSession(refused, Mail("user")).error;
    ASSERT_TRUE(e);
    EXPECT_NE(e->find("535 5.7.8 bad credentials"), std::string::npos) << *e;
}

TEST(Session, CredentialsNeverGoOutWithoutTls) {
    // A server that offers AUTH but no STARTTLS (or one whose offer was stripped on the
    // way), and one that does not even know EHLO: no AUTH, no mail.
    for (auto replies : {std::deque<std::string>{"220 hi", "250-srv", "250 AUTH PLAIN LOGIN"},
                         std::deque<std::string>{"220 hi", "500 what", "250 hello"}}) {
        ScriptedServer s(replies);
        auto e = RunSession(s, Mail("user")).error;
        ASSERT_TRUE(e);
        EXPECT_NE(e->find("offers no secure connection (STARTTLS)"), std::string::npos) << *e;
        EXPECT_EQ(s.sent.find("AUTH"), std::string::npos) << s.sent;
        EXPECT_EQ(s.sent.find("MAIL"), std::string::npos) << s.sent;
        EXPECT_FALSE(s.tls_started);
    }
}

TEST(Session, StartTlsComesBeforeAuthAndNeverFallsBack) {
    ScriptedServer tls({"220 hi", "250-srv", "250-STARTTLS", "250 AUTH PLAIN", "220 go ahead", "250-srv",
                        "250 AUTH PLAIN", "235 ok", "250 ok", "250 ok", "250 ok", "354 go", "250 queued"});
    EXPECT_EQ(RunSession(tls, Mail("user")).error, std::nullopt);
    EXPECT_TRUE(tls.tls_started);
    EXPECT_EQ(tls.sent.rfind("EHLO client\r\nSTARTTLS\r\nEHLO client\r\nAUTH PLAIN", 0), 0u) << tls.sent;

    ScriptedServer broken({"220 hi", "250-srv", "250-STARTTLS", "250 AUTH PLAIN", "220 go ahead"});
    broken.tls_fails = true;
    auto e = RunSession(broken, Mail("user")).error;
    ASSERT_TRUE(e);
    EXPECT_NE(e->find("STARTTLS"), std::string::npos);
    EXPECT_NE(e->find("certificate not trusted"), std::string::npos);
    EXPECT_EQ(broken.sent.find("AUTH"), std::string::npos);
    EXPECT_EQ(broken.sent.find("MAIL"), std::string::npos);
}

TEST(Session, FailuresNameTheStepAndTheServersText) {
    ScriptedServer rcpt({"220 hi", "250 srv", "250 ok", "550 5.1.1 no such user", "450-busy", "450 later"});
    auto r = RunSession(rcpt, Mail());
    ASSERT_TRUE(r.error);
    EXPECT_EQ(OutcomeText(r, {}), "The server refused every recipient (not sent to <a@x>: 550 5.1.1 no such user; "
                                  "<b@x>: 450 busy / later)");
    EXPECT_EQ(rcpt.sent.find("DATA"), std::string::npos);
    // One recipient only refused for now: the message is worth another try.
    EXPECT_TRUE(r.passing);
    ScriptedServer unknown({"220 hi", "250 srv", "250 ok", "550 5.1.1 no such user", "553 no"});
    EXPECT_FALSE(RunSession(unknown, Mail()).passing);

    ScriptedServer greeting({"554 go away"});
    r = RunSession(greeting, Mail());
    ASSERT_TRUE(r.error);
    EXPECT_NE(r.error->find("554 go away"), std::string::npos);
    EXPECT_FALSE(r.passing);
    ScriptedServer busy({"421 4.3.2 too busy"});
    EXPECT_TRUE(RunSession(busy, Mail()).passing);

    ScriptedServer silent({"220 hi"});
    r = RunSession(silent, Mail());
    ASSERT_TRUE(r.error);
    EXPECT_NE(r.error->find("No reply from the server after EHLO: connection closed"), std::string::npos) << *r.error;
    EXPECT_TRUE(r.passing);

    ScriptedServer garbage({"hello there"});
    r = RunSession(garbage, Mail());
    ASSERT_TRUE(r.error);
    EXPECT_NE(r.error->find("unreadable reply"), std::string::npos);
    EXPECT_FALSE(r.passing);

    ScriptedServer multi({"220 hi", "250-srv", "250-a", "250 b", "250 ok", "250 ok", "250 ok", "354 go", "451-try", "451 later"});
    r = RunSession(multi, Mail());
    ASSERT_TRUE(r.error);
    EXPECT_EQ(*r.error, "The server refused the message: 451 try / later");
    EXPECT_TRUE(r.passing);

    // A certificate that does not match, or a user name and no STARTTLS: never again.
    ScriptedServer broken({"220 hi", "250-srv", "250-STARTTLS", "250 AUTH PLAIN", "220 go ahead"});
    broken.tls_fails = true;
    EXPECT_FALSE(RunSession(broken, Mail("user")).passing);
    ScriptedServer plain({"220 hi", "250-srv", "250 AUTH PLAIN"});
    EXPECT_FALSE(RunSession(plain, Mail("user")).passing);
}

TEST(Retry, BackoffDoublesUpToAMinuteAndEndsWithTheWindow) {
    // Handed over at 5 s, tried at once; then 1, 2, 4 ... 60 s after each failed try.
    uint64_t now = 5000;
    std::vector<uint64_t> waits;
    unsigned failures = 0;
    while (auto next = NextTry(5000, now, ++failures, 600)) {
        waits.push_back(*next - now);
        now = *next;
    }
    ASSERT_GE(waits.size(), 8u);
    EXPECT_EQ(std::vector<uint64_t>(waits.begin(), waits.begin() + 8),
              (std::vector<uint64_t>{1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000}));
    // The last try comes at the end of the window, and none after it.
    EXPECT_EQ(now, 5000u + 600000u);
    EXPECT_EQ(NextTry(5000, 5000, 1, 0), std::nullopt);
    EXPECT_EQ(*NextTry(0, 3000000, 40, 3600), 3060000u);
    EXPECT_EQ(GiveUpText("Cannot connect", 1, 600), "Cannot connect");
    EXPECT_EQ(GiveUpText("Cannot connect", 14, 600), "Cannot connect (given up after 14 tries in 10 minutes)");
}

}  // namespace
