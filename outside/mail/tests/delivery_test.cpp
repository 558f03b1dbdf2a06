// The mail control against real SMTP servers on loopback (see with_smtpd.sh).
#include <gtest/gtest.h>
#include <windows.h>

#include <wincrypt.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <tlhelp32.h>

#include "control_client.h"
#include "outside/mail/retry_window.h"

using namespace mailtest;

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// "host:port" of a test server; the TLS servers by the name their certificate holds.
std::wstring Server(const char* name, std::string host = "") {
    std::string port = Env((std::string("VANTREL_SMTP_") + name + "_PORT").c_str());
    if (host.empty()) host = std::string(name) == "TLS" || std::string(name) == "BADTLS" ? "localhost" : "127.0.0.1";
    return std::wstring(host.begin(), host.end()) + L":" + std::wstring(port.begin(), port.end());
}

std::string Narrow(const std::wstring& w) {
    int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

// A saved message of a server ("plain", 1) as received, or empty.
std::string Saved(const std::string& server, int n, const char* ext) {
    std::ifstream f("Z:" + Env("VANTREL_SMTP_DIR") + "\\" + server + "-" + std::to_string(n) + ext, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// The AUTH attempts a server saw, one line each ("PLAIN tls:1").
std::string AuthLog(const std::string& server) {
    std::ifstream f("Z:" + Env("VANTREL_SMTP_DIR") + "\\" + server + ".auth", std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

int SavedCount(const std::string& server) {
    int n = 0;
    while (!Saved(server, n + 1, ".env").empty()) ++n;
    return n;
}

std::string Header(const std::string& message, const std::string& name) {
    size_t p = message.find("\r\n" + name + ": ");
    if (p == std::string::npos) return "<missing>";
    p += name.size() + 4;
    // Folded lines read as one: a line break before a blank is no break.
    std::string value;
    for (;;) {
        size_t end = message.find("\r\n", p);
        value += message.substr(p, end - p);
        if (end == std::string::npos || end + 2 >= message.size() || message[end + 2] != ' ') return value;
        p = end + 2;
    }
}

std::string Body(const std::string& message) {
    size_t p = message.find("\r\n\r\n");
    return p == std::string::npos ? "<missing>" : message.substr(p + 4);
}

class Delivery : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    static void TearDownTestSuite() { ::CoUninitialize(); }
    void SetUp() override {
        if (Env("VANTREL_SMTP_DIR").empty()) GTEST_SKIP() << "run through with_smtpd.sh";
        ASSERT_EQ(c.Create(), S_OK);
    }
    void Set(const std::wstring& server, const std::wstring& to, const std::wstring& subject,
             const std::wstring& body, const std::wstring& user = L"", const std::wstring& password = L"") {
        // The service's order: all seven, empty texts included.
        ASSERT_EQ(c.Put(kSMTPServer, server), S_OK);
        ASSERT_EQ(c.Put(kFromEmail, L"vantrel@example.com"), S_OK);
        ASSERT_EQ(c.Put(kToEmail, to), S_OK);
        ASSERT_EQ(c.Put(kSubject, subject), S_OK);
        ASSERT_EQ(c.Put(kBody, body), S_OK);
        ASSERT_EQ(c.Put(kUserName, user), S_OK);
        ASSERT_EQ(c.Put(kPassword, password), S_OK);
    }
    // How long a failure that may pass is tried again, for the messages sent from now on.
    static HRESULT SetRetryWindow(Control& control, ULONG seconds) {
        ComPtr<velmsendmail::IVelmSendmailRetry> retry;
        HRESULT hr = control.dispatch->QueryInterface(velmsendmail::IID_IVelmSendmailRetry,
                                                      reinterpret_cast<void**>(retry.GetAddressOf()));
        return SUCCEEDED(hr) ? retry->SetRetryWindow(seconds) : hr;
    }
    // Sends and expects exactly one Error; returns its text.
    std::string ExpectError() {
        size_t before = c.sink.outcomes.size();
        EXPECT_TRUE(c.SendAndWait());
        EXPECT_FALSE(c.sink.raised_inside_send);
        if (c.sink.outcomes.size() != before + 1) return "<no outcome>";
        EXPECT_EQ(c.sink.outcomes.back().event, kErrorEvent);
        return Narrow(c.sink.outcomes.back().text);
    }
    Control c;
};

TEST_F(Delivery, ServerReceivesTheExactMessageAndTheClientHearsSendComplete) {
    const std::wstring subject = L"Computer: SRV1 - Record Number: 7 - 09.12.2026 05:27:33\r\nBcc: evil@example.com";
    const std::wstring body = L"The \"Spooler\" service stopped.\r\n.\r\n.leading dot\r\n\r\nEvent Type: Error";
    Set(Server("PLAIN"), L"ops@example.com,,second@example.com", subject, body);
    ASSERT_TRUE(c.SendAndWait());
    EXPECT_FALSE(c.sink.raised_inside_send);
    ASSERT_EQ(c.sink.outcomes.size(), 1u);
    EXPECT_EQ(c.sink.outcomes[0].event, kSendCompleteEvent) << Narrow(c.sink.outcomes[0].text);

    std::string env = Saved("plain", 1, ".env");
    EXPECT_NE(env.find("from:vantrel@example.com\nto:ops@example.com,second@example.com\nlogin:-\ntls:0"),
              std::string::npos)
        << env;
    std::string m = "\r\n" + Saved("plain", 1, ".eml");
    EXPECT_EQ(Header(m, "Subject"), "Computer: SRV1 - Record Number: 7 - 09.12.2026 05:27:33 Bcc: evil@example.com");
    EXPECT_EQ(Header(m, "Bcc"), "<missing>");
    EXPECT_EQ(Header(m, "From"), "vantrel@example.com");
    EXPECT_EQ(Header(m, "To"), "ops@example.com, second@example.com");
    EXPECT_EQ(Header(m, "Content-Type"), "text/plain; charset=utf-8");
    EXPECT_NE(Header(m, "Message-ID"), "<missing>");
    EXPECT_NE(Header(m, "Date"), "<missing>");
    // The message ends with its line break, as SMTP carries every message.
    EXPECT_EQ(Body(m), Narrow(body) + "\r\n");
}

TEST_F(Delivery, TwoQuickSendsArriveAsTwoMailsWithTheirOwnTexts) {
    Set(Server("PLAIN"), L"a@example.com", L"first subject", L"first body \u00e9");
    ASSERT_EQ(c.Send(), S_OK);
    // The second call changes the properties at once: the first mail keeps its own.
    Set(Server("PLAIN"), L"b@example.com", L"second subject", L"second body");
    ASSERT_EQ(c.Send(), S_OK);
    ASSERT_TRUE(c.WaitFor(2));
    EXPECT_EQ(c.sink.outcomes[0].event, kSendCompleteEvent);
    EXPECT_EQ(c.sink.outcomes[1].event, kSendCompleteEvent);
    int n = SavedCount("plain");
    ASSERT_GE(n, 2);
    std::string first = "\r\n" + Saved("plain", n - 1, ".eml");
    std::string second = "\r\n" + Saved("plain", n, ".eml");
    EXPECT_EQ(Header(first, "Subject"), "first subject");
    EXPECT_EQ(Header(first, "To"), "a@example.com");
    EXPECT_EQ(Header(first, "Content-Transfer-Encoding"), "quoted-printable");
    EXPECT_EQ(Body(first), "first body =C3=A9\r\n");
    EXPECT_EQ(Header(second, "Subject"), "second subject");
    EXPECT_EQ(Body(second), "second body\r\n");
}

TEST_F(Delivery, AMessageQueuedBeforeTheControlIsReleasedIsStillSent) {
    int before = SavedCount("plain");
    {
        Control other;
        ASSERT_EQ(other.Create(), S_OK);
        other.dispatch->AddRef();
        IDispatch* raw = other.dispatch.Get();
        ASSERT_EQ(other.Put(kSMTPServer, Server("PLAIN")), S_OK);
        ASSERT_EQ(other.Put(kFromEmail, L"vantrel@example.com"), S_OK);
        ASSERT_EQ(other.Put(kToEmail, L"late@example.com"), S_OK);
        ASSERT_EQ(other.Put(kSubject, L"sent after release"), S_OK);
        ASSERT_EQ(other.Put(kBody, L"b"), S_OK);
        ASSERT_EQ(other.Send(), S_OK);
        other.point->Unadvise(other.cookie);
        other.point.Reset();
        other.dispatch.Reset();
        raw->Release();  // the last reference: the control is gone while its mail is on the way
    }
    for (int i = 0; i < 300 && SavedCount("plain") == before; ++i) ::Sleep(100);
    ASSERT_EQ(SavedCount("plain"), before + 1);
    EXPECT_EQ(Header("\r\n" + Saved("plain", before + 1, ".eml"), "Subject"), "sent after release");
    // Nothing is raised for a control that is gone, and nothing breaks.
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

TEST_F(Delivery, RefusedOrInvalidRecipientsDoNotStopTheMailToTheOthers) {
    int before = SavedCount("plain");
    Set(Server("PLAIN"), L"nobody@example.com,ops@example.com, bad address@example.com ,x@y\r\nBcc: evil@example.com",
        L"subject", L"body");
    // The message goes out; the one outcome is an Error that names who did not get it.
    EXPECT_EQ(ExpectError(), "The message was sent to the other recipients, not to "
                             "\"bad address@example.com\": not a valid mail address; "
                             "\"x@y\\x0D\\x0ABcc: evil@example.com\": not a valid mail address; "
                             "<nobody@example.com>: 550 5.1.1 Mailbox unavailable");
    ASSERT_EQ(SavedCount("plain"), before + 1);
    std::string env = Saved("plain", before + 1, ".env");
    EXPECT_NE(env.find("\nto:ops@example.com\n"), std::string::npos) << env;
    std::string m = "\r\n" + Saved("plain", before + 1, ".eml");
    EXPECT_EQ(Header(m, "To"), "nobody@example.com, ops@example.com");
    EXPECT_EQ(Header(m, "Bcc"), "<missing>");
}

// Sets the control's time limits (seconds) for one test and removes them again.
class Limits {
public:
    Limits(DWORD reply, DWORD session) {
        ok_ = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_, nullptr) ==
                  ERROR_SUCCESS &&
              Set(L"ReplyTimeoutSeconds", reply) && Set(L"SessionTimeoutSeconds", session);
    }
    ~Limits() {
        if (!key_) return;
        ::RegDeleteValueW(key_, L"ReplyTimeoutSeconds");
        ::RegDeleteValueW(key_, L"SessionTimeoutSeconds");
        ::RegCloseKey(key_);
    }
    bool ok() const { return ok_; }

private:
    static constexpr const wchar_t* kKey = L"SOFTWARE\\VelmSendmail";
    bool Set(const wchar_t* name, DWORD v) {
        return ::RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof(v)) ==
               ERROR_SUCCESS;
    }
    HKEY key_ = nullptr;
    bool ok_ = false;
};

TEST_F(Delivery, AHungOrDrippingServerIsGivenUpWithinTheLimits) {
    Limits limits(2, 5);
    ASSERT_TRUE(limits.ok());
    // A time-out may pass and would be tried again: here the first one is the answer.
    ASSERT_EQ(SetRetryWindow(c, 0), S_OK);
    // Accepts and never answers: the reply limit ends the wait for the greeting.
    Set(Server("HANG"), L"ops@example.com", L"s", L"b");
    DWORD start = ::GetTickCount();
    ASSERT_TRUE(c.SendAndWait(20000));
    DWORD took = ::GetTickCount() - start;
    EXPECT_GE(took, 1500u);
    EXPECT_LT(took, 4500u);
    EXPECT_EQ(c.sink.outcomes.back().event, kErrorEvent);
    EXPECT_EQ(Narrow(c.sink.outcomes.back().text),
              "No reply from the server after connecting: the server did not answer within 2 seconds");

    // Answers a byte every half second and never ends its reply: the session limit ends
    // it, and a second mail queued behind it is late by no more than that.
    Set(Server("DRIP"), L"ops@example.com", L"s", L"b");
    start = ::GetTickCount();
    ASSERT_EQ(c.Send(), S_OK);
    ASSERT_EQ(c.Send(), S_OK);
    ASSERT_TRUE(c.WaitFor(c.sink.outcomes.size() + 1, 20000));
    took = ::GetTickCount() - start;
    EXPECT_GE(took, 4500u);
    EXPECT_LT(took, 8000u);
    ASSERT_TRUE(c.WaitFor(c.sink.outcomes.size() + 1, 20000));
    took = ::GetTickCount() - start;
    EXPECT_LT(took, 13000u);
    for (size_t i = c.sink.outcomes.size() - 2; i < c.sink.outcomes.size(); ++i) {
        EXPECT_EQ(c.sink.outcomes[i].event, kErrorEvent);
        EXPECT_EQ(Narrow(c.sink.outcomes[i].text),
                  "No reply from the server after connecting: the session took longer than its limit of 5 seconds");
    }
}

TEST_F(Delivery, NeverAuthenticatesWithoutTls) {
    // The server offers AUTH over plain text and no STARTTLS: the password stays home.
    Set(Server("AUTH"), L"ops@example.com", L"auth", L"body", L"alerts", L"s3cret \"pass\"");
    std::string e = ExpectError();
    EXPECT_NE(e.find("offers no secure connection (STARTTLS)"), std::string::npos) << e;
    EXPECT_EQ(AuthLog("auth"), "");
    EXPECT_EQ(SavedCount("auth"), 0);

    // Without a user name the same server takes the mail.
    Set(Server("AUTH"), L"ops@example.com", L"no login", L"body");
    ASSERT_TRUE(c.SendAndWait());
    EXPECT_EQ(c.sink.outcomes.back().event, kSendCompleteEvent) << Narrow(c.sink.outcomes.back().text);
    EXPECT_NE(Saved("auth", 1, ".env").find("login:-\ntls:0"), std::string::npos);
}

TEST_F(Delivery, FailuresRaiseErrorWithAReadableText) {
    ASSERT_EQ(SetRetryWindow(c, 0), S_OK);
    EXPECT_EQ(SetRetryWindow(c, 3601), E_INVALIDARG);
    Set(L"127.0.0.1:1", L"ops@example.com", L"s", L"b");
    std::string e = ExpectError();
    EXPECT_NE(e.find("Cannot connect to the SMTP server 127.0.0.1 port 1"), std::string::npos) << e;

    int before = SavedCount("plain");
    Set(Server("PLAIN"), L"nobody@example.com,nobody2@example.com", L"s", L"b");
    EXPECT_EQ(ExpectError(), "The server refused every recipient (not sent to <nobody@example.com>: 550 5.1.1 "
                             "Mailbox unavailable; <nobody2@example.com>: 550 5.1.1 Mailbox unavailable)");

    Set(Server("PLAIN"), L" , ,", L"s", L"b");
    EXPECT_EQ(ExpectError(), "No recipient address is set");
    Set(Server("PLAIN"), L"bad\r\nRCPT TO:<x@y>", L"s", L"b");
    EXPECT_EQ(ExpectError(), "No valid recipient address is set (not sent to \"bad\\x0D\\x0ARCPT TO:<x@y>\": "
                             "not a valid mail address)");
    EXPECT_EQ(SavedCount("plain"), before);
    Set(L"", L"ok@example.com", L"s", L"b");
    EXPECT_EQ(ExpectError(), "No SMTP server is set");
}

std::string FileText(const std::string& name) {
    std::ifstream f("Z:" + Env("VANTREL_SMTP_DIR") + "\\" + name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// Lets window messages through for ms, so that any outcome would be heard.
void Pump(DWORD ms) {
    DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < ms) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    }
}

TEST_F(Delivery, AServerThatComesUpLateGetsEveryMessageOnceInOrder) {
    // Refuses connections for a while: nothing is reported yet, the messages wait.
    for (int i = 1; i <= 3; ++i) {
        Set(Server("LATE"), L"ops@example.com", L"late " + std::to_wstring(i), L"b");
        ASSERT_EQ(c.Send(), S_OK);
    }
    Pump(4000);
    ASSERT_EQ(c.sink.outcomes.size(), 0u) << Narrow(c.sink.outcomes[0].text);
    // The server comes up and gets them all, once each, in the order they were sent.
    std::ofstream("Z:" + Env("VANTREL_SMTP_DIR") + "\\late.go").put('\n');
    ASSERT_TRUE(c.WaitFor(3, 90000));
    for (const auto& o : c.sink.outcomes) EXPECT_EQ(o.event, kSendCompleteEvent) << Narrow(o.text);
    Pump(1500);
    EXPECT_EQ(c.sink.outcomes.size(), 3u);
    ASSERT_EQ(SavedCount("late"), 3);
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(Header("\r\n" + Saved("late", i, ".eml"), "Subject"), "late " + std::to_string(i));
}

TEST_F(Delivery, PassingRefusalsAreTriedAgainAndAPermanentOneIsNot) {
    // 421 to the first two MAIL commands, 451 to the first two DATA, then accepted.
    for (int i = 1; i <= 3; ++i) {
        Set(Server("FLAKY"), L"ops@example.com", L"flaky " + std::to_wstring(i), L"b");
        ASSERT_EQ(c.Send(), S_OK);
    }
    ASSERT_TRUE(c.WaitFor(3, 120000));
    for (const auto& o : c.sink.outcomes) EXPECT_EQ(o.event, kSendCompleteEvent) << Narrow(o.text);
    ASSERT_EQ(SavedCount("flaky"), 3);
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(Header("\r\n" + Saved("flaky", i, ".eml"), "Subject"), "flaky " + std::to_string(i));
    EXPECT_EQ(FileText("flaky.log"), "MAIL 421\nMAIL 421\nDATA 451\nDATA 451\nDATA 250\nDATA 250\nDATA 250\n");

    // A 5xx is final: one try, and the Error at once.
    Set(Server("FLAKY"), L"refused@example.com", L"refused", L"b");
    DWORD start = ::GetTickCount();
    EXPECT_EQ(ExpectError(), "The server refused the message: 554 5.7.1 Message refused");
    EXPECT_LT(::GetTickCount() - start, 5000u);
    Pump(2500);
    EXPECT_EQ(c.sink.outcomes.size(), 4u);
    EXPECT_EQ(SavedCount("flaky"), 3);
    EXPECT_EQ(FileText("flaky.log").substr(FileText("flaky.log").rfind("DATA 250\n") + 9), "DATA 554\n");
}

int ThreadsOfThisProcess() {
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 t{};
    t.dwSize = sizeof(t);
    int n = 0;
    for (BOOL more = ::Thread32First(snap, &t); more; more = ::Thread32Next(snap, &t))
        if (t.th32OwnerProcessID == ::GetCurrentProcessId()) ++n;
    ::CloseHandle(snap);
    return n;
}

TEST_F(Delivery, AFullQueueFailsAtOnceAndAReleasedControlLeavesNoThread) {
    const int threads = ThreadsOfThisProcess();
    ASSERT_GT(threads, 0);
    {
        Control other;
        ASSERT_EQ(other.Create(), S_OK);
        ASSERT_EQ(other.Put(kSMTPServer, L"127.0.0.1:1"), S_OK);
        ASSERT_EQ(other.Put(kFromEmail, L"vantrel@example.com"), S_OK);
        ASSERT_EQ(other.Put(kToEmail, L"ops@example.com"), S_OK);
        ASSERT_EQ(other.Put(kBody, L"b"), S_OK);
        // Nothing gets through: the queue fills, and the one beyond it fails at once.
        for (int i = 0; i <= 2000; ++i) {
            ASSERT_EQ(other.Put(kSubject, L"queued " + std::to_wstring(i)), S_OK);
            ASSERT_EQ(other.Send(), S_OK);
        }
        ASSERT_TRUE(other.WaitFor(1, 10000));
        Pump(1500);
        ASSERT_EQ(other.sink.outcomes.size(), 1u);
        EXPECT_EQ(other.sink.outcomes[0].event, kErrorEvent);
        EXPECT_EQ(Narrow(other.sink.outcomes[0].text),
                  "The message was not sent: 2000 messages already wait for the SMTP server, the most this control keeps");
        EXPECT_GT(ThreadsOfThisProcess(), threads);
    }
    // Released with 2,000 messages waiting for a server that is down: its thread ends
    // soon rather than trying them for ten minutes.
    for (int i = 0; i < 100 && ThreadsOfThisProcess() > threads; ++i) Pump(100);
    EXPECT_LE(ThreadsOfThisProcess(), threads);
}

// Trusts the test's certificate in the prefix, as an administrator would.
bool TrustCertificate() {
    std::ifstream f("Z:" + Env("VANTREL_SMTP_TRUSTED_CERT"), std::ios::binary);
    std::string der((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (der.empty()) return false;
    HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (!store) return false;
    BOOL ok = ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                                 static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                 nullptr);
    ::CertCloseStore(store, 0);
    return ok;
}

TEST_F(Delivery, StartTlsProtectsTheLogin) {
    if (Env("VANTREL_SMTP_TRUSTED_CERT").empty()) GTEST_SKIP() << "no certificates (openssl missing)";
    ASSERT_TRUE(TrustCertificate());
    // By host name, and by the IP address the certificate names.
    for (const char* host : {"localhost", "127.0.0.1"}) {
        Set(Server("TLS", host), L"ops@example.com", L"over tls", L"secret body", L"alerts", L"s3cret \"pass\"");
        ASSERT_TRUE(c.SendAndWait());
        ASSERT_EQ(c.sink.outcomes.back().event, kSendCompleteEvent) << host << ": " << Narrow(c.sink.outcomes.back().text);
        std::string env = Saved("tls", SavedCount("tls"), ".env");
        EXPECT_NE(env.find("login:alerts\ntls:1"), std::string::npos) << env;
        EXPECT_EQ(Body(Saved("tls", SavedCount("tls"), ".eml")), "secret body\r\n");
    }
    EXPECT_EQ(AuthLog("tls"), "PLAIN tls:1\nPLAIN tls:1\n");
}

TEST_F(Delivery, ACertificateThatDoesNotNameTheAddressIsRefused) {
    if (Env("VANTREL_SMTP_TRUSTED_CERT").empty()) GTEST_SKIP() << "no certificates (openssl missing)";
    ASSERT_TRUE(TrustCertificate());
    // Trusted, but made for localhost and 127.0.0.1 only.
    Set(Server("TLS2", "127.0.0.2"), L"ops@example.com", L"s", L"b", L"alerts", L"s3cret \"pass\"");
    std::string e = ExpectError();
    EXPECT_NE(e.find("not trusted for 127.0.0.2"), std::string::npos) << e;
    EXPECT_EQ(AuthLog("tls2"), "");
    EXPECT_EQ(SavedCount("tls2"), 0);
}

TEST_F(Delivery, FailedHandshakeIsAnErrorNeverPlainText) {
    if (Env("VANTREL_SMTP_TRUSTED_CERT").empty()) GTEST_SKIP() << "no certificates (openssl missing)";
    Set(Server("BADTLS"), L"ops@example.com", L"s", L"b", L"alerts", L"s3cret \"pass\"");
    std::string e = ExpectError();
    EXPECT_NE(e.find("STARTTLS"), std::string::npos) << e;
    EXPECT_EQ(SavedCount("badtls"), 0);
}

}  // namespace
