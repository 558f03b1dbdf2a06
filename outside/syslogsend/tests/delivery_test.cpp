// syslogsend.exe as the callers start it, against a real rsyslogd on loopback.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "core/spool.h"
#include "core/syslog_message.h"
#include "core/syslog_text.h"
#include "platform/winapi/handles.h"
#include "settings_store.h"
#include "syslog_sender.h"

namespace vc = vantrel::common;

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

void Configure(const std::string& server, const std::string& port, const std::string& protocol) {
    ASSERT_TRUE(vc::SetKeyValue(HKEY_LOCAL_MACHINE, vc::kSettingsKey, 1, "SyslogConsoleName", server));
    ASSERT_TRUE(vc::SetKeyValue(HKEY_LOCAL_MACHINE, vc::kSettingsKey, 1, "SyslogConsolePort", port));
    ASSERT_TRUE(vc::SetKeyValue(HKEY_LOCAL_MACHINE, vc::kSettingsKey, 1, "SyslogProtocol", protocol));
}

// Starts the sender with the callers' command line.
vantrel::Handle StartSender(const std::string& argument) {
    std::string command = vc::SenderCommandLine(vc::ProgramsFolder(), argument);
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return vantrel::Handle();
    vantrel::Handle thread(pi.hThread);
    return vantrel::Handle(pi.hProcess);
}

// Waits for the sender's end and returns its exit status (999: still running after the wait).
DWORD ExitOf(const vantrel::Handle& process, DWORD wait_ms = 30000) {
    if (!process) return 1000;
    if (::WaitForSingleObject(process.get(), wait_ms) != WAIT_OBJECT_0) return 999;
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    return code;
}

DWORD RunSender(const std::string& argument) {
    vantrel::Handle process = StartSender(argument);
    DWORD code = ExitOf(process);
    if (code == 999) ::TerminateProcess(process.get(), 999);
    return code;
}

std::string SpoolPath() { return vc::ProgramsFolder() + "\\syslogsend.spool"; }

std::string ReadLog() {
    std::string path = "Z:" + Env("VANTREL_SYSLOG_OUT");
    vantrel::FileHandle h(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    if (!h) return {};
    std::string all;
    char buffer[8192];
    DWORD got = 0;
    while (::ReadFile(h.get(), buffer, sizeof(buffer), &got, nullptr) && got) all.append(buffer, got);
    return all;
}

// Waits for the daemon to write the line with the text.
bool Received(const std::string& wanted) {
    for (int i = 0; i < 100; ++i) {
        if (ReadLog().find(wanted) != std::string::npos) return true;
        ::Sleep(100);
    }
    return false;
}

// The priority the daemon wrote on the line that ends with the text, or -1.
int PriorityOf(const std::string& tail) {
    std::string log = ReadLog();
    size_t at = log.find(tail);
    if (at == std::string::npos) return -1;
    size_t start = log.rfind("<END>\n", at);
    start = start == std::string::npos ? 0 : start + 6;
    return std::atoi(log.substr(start, log.find('|', start) - start).c_str());
}

class Delivery : public ::testing::Test {
protected:
    void SetUp() override {
        if (Env("VANTREL_SYSLOG_OUT").empty()) GTEST_SKIP() << "run through with_rsyslog.sh";
        ::DeleteFileA(SpoolPath().c_str());
    }
};

TEST_F(Delivery, UdpCarriesPriorityTagAndText) {
    Configure("127.0.0.1", Env("VANTREL_SYSLOG_UDP_PORT"), "UDP");
    ASSERT_EQ(RunSender("<14>Test Message From Vantrel udp-1"), 0u);
    EXPECT_TRUE(Received("|Vantrel:| Test Message From Vantrel udp-1<END>\n")) << ReadLog();
    EXPECT_EQ(PriorityOf("| Test Message From Vantrel udp-1<END>"), 14);
}

TEST_F(Delivery, TcpKeepsQuotesBackslashesAndLineBreaksInOneMessage) {
    Configure("127.0.0.1", Env("VANTREL_SYSLOG_TCP_PORT"), "TCP");
    const std::string text =
        "System Log - 42 - The \"Spooler\" service said \\\"stop\\\" in C:\\Temp\\\r\nsecond line\tand a tab";
    ASSERT_EQ(RunSender("<27>" + text), 0u);
    EXPECT_TRUE(Received("|Vantrel:| " + text + "<END>\n")) << ReadLog();
    EXPECT_EQ(PriorityOf(text + "<END>"), 27);
    // Anything other than "UDP" is TCP.
    Configure("127.0.0.1", Env("VANTREL_SYSLOG_TCP_PORT"), "udp");
    ASSERT_EQ(RunSender("<14>lower-case protocol goes by TCP"), 0u);
    EXPECT_TRUE(Received("| lower-case protocol goes by TCP<END>"));
}

TEST_F(Delivery, DebugLinesGoOutWithPriority14ThroughTheSenderBesideTheProgram) {
    Configure("127.0.0.1", Env("VANTREL_SYSLOG_UDP_PORT"), "UDP");
    vc::DebugEnabled = true;
    vc::DebugLog("Debugging Started In SvcIt1_Start \"quoted\"");
    vc::DebugEnabled = false;
    EXPECT_TRUE(Received("|Vantrel:| Debugging Started In SvcIt1_Start \"quoted\"<END>\n")) << ReadLog();
    EXPECT_EQ(PriorityOf("SvcIt1_Start \"quoted\"<END>"), 14);
}

TEST_F(Delivery, FailuresExitAtOnceWithTheirStatus) {
    Configure("", "514", "TCP");
    EXPECT_EQ(RunSender("<14>no server"), static_cast<DWORD>(syslogsend::kNoServer));
    Configure("127.0.0.1", "70000", "TCP");
    EXPECT_EQ(RunSender("<14>bad port"), static_cast<DWORD>(syslogsend::kBadPort));
    Configure("127.0.0.1", Env("VANTREL_SYSLOG_TCP_PORT"), "TCP");
    EXPECT_EQ(RunSender("no priority"), static_cast<DWORD>(syslogsend::kBadArgument));

    Configure("no-such-host.invalid", "", "UDP");
    EXPECT_EQ(RunSender("<14>unknown host"), static_cast<DWORD>(syslogsend::kNameNotResolved));
}

// TCP: a message the receiver does not take waits in the spool beside the sender, behind
// what waits there already (here a message and a drop count that an earlier sender left),
// and one sender stays behind until the receiver answers; later senders only add to the
// spool. Everything then arrives once, in order, the notice of dropped messages first.
TEST_F(Delivery, TcpMessagesWaitInTheSpoolUntilTheReceiverAnswers) {
    syslogsend::Spool left;
    left.dropped = 3;
    syslogsend::AddMessage(left, "<14>Dec  9 05:07:03 H Vantrel: spool-0 left from before");
    const std::string bytes = syslogsend::EncodeSpool(left);
    {
        vantrel::FileHandle f(::CreateFileA(SpoolPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        ASSERT_TRUE(f && ::WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    }
    Configure("127.0.0.1", "1", "TCP");  // a closed port on loopback refuses at once
    vantrel::Handle first = StartSender("<14>spool-1");
    ASSERT_TRUE(first);
    EXPECT_EQ(ExitOf(first, 3000), 999u) << "the first sender did not stay behind";
    DWORD start = ::GetTickCount();
    EXPECT_EQ(RunSender("<14>spool-2"), static_cast<DWORD>(syslogsend::kSpooled));
    EXPECT_LT(::GetTickCount() - start, 10000u);
    EXPECT_EQ(ReadLog().find("spool-"), std::string::npos);

    Configure("127.0.0.1", Env("VANTREL_SYSLOG_TCP_PORT"), "TCP");
    EXPECT_EQ(ExitOf(first, 90000), 0u);
    ASSERT_TRUE(Received("| spool-2<END>")) << ReadLog();
    const std::string log = ReadLog();
    const size_t notice = log.find("3 messages were dropped while the syslog server could not be reached");
    const size_t zero = log.find("spool-0 left from before"), one = log.find("| spool-1<END>"),
                 two = log.find("| spool-2<END>");
    ASSERT_NE(notice, std::string::npos) << log;
    EXPECT_EQ(PriorityOf("could not be reached (the spool holds at most 10000)<END>"), 12);
    EXPECT_TRUE(notice < zero && zero < one && one < two) << log;
    EXPECT_EQ(log.find("| spool-1<END>", one + 1), std::string::npos) << "sent twice: " << log;
    EXPECT_EQ(::GetFileAttributesA(SpoolPath().c_str()), INVALID_FILE_ATTRIBUTES) << "the spool was left behind";
}

}  // namespace
