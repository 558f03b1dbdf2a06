// syslogsend.exe as the callers start it, against a real rsyslogd on loopback.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

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

// Runs the sender with the callers' command line and returns its exit status.
DWORD RunSender(const std::string& argument, DWORD* elapsed_ms = nullptr) {
    std::string command = vc::SenderCommandLine(vc::ProgramsFolder(), argument);
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    DWORD start = ::GetTickCount();
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 1000 + ::GetLastError();
    vantrel::Handle process(pi.hProcess), thread(pi.hThread);
    if (::WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 999);
        return 999;
    }
    if (elapsed_ms) *elapsed_ms = ::GetTickCount() - start;
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    return code;
}

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

    // A closed port on loopback refuses at once.
    Configure("127.0.0.1", "1", "TCP");
    DWORD elapsed = 0;
    EXPECT_EQ(RunSender("<14>nobody listens", &elapsed), static_cast<DWORD>(syslogsend::kConnectFailed));
    EXPECT_LT(elapsed, 10000u);
    Configure("no-such-host.invalid", "", "UDP");
    EXPECT_EQ(RunSender("<14>unknown host"), static_cast<DWORD>(syslogsend::kNameNotResolved));
}

}  // namespace
