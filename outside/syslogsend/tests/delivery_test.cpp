// syslogsend.exe as the callers start it, against a real rsyslogd on loopback.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/spool.h"
#include "core/syslog_message.h"
#include "core/syslog_text.h"
#include "platform/evtlog/evtapi.h"
#include "platform/winapi/handles.h"
#include "sender_events.h"
#include "settings_store.h"
#include "syslog_sender.h"
#include "syslogsend_messages.h"

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

void WriteSpool(const std::string& bytes) {
    vantrel::FileHandle f(::CreateFileA(SpoolPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(f && ::WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

// How often the line with the text arrived.
size_t Arrivals(const std::string& text) {
    const std::string log = ReadLog(), line = "| " + text + "<END>";
    size_t n = 0;
    for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++n;
    return n;
}

// Waits until the spool file holds a message with the text (the file read as another
// program reads it, sharing everything).
bool Spooled(const std::string& text) {
    for (int i = 0; i < 600; ++i) {
        vantrel::FileHandle f(::CreateFileA(SpoolPath().c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
        std::string bytes;
        char buffer[8192];
        DWORD got = 0;
        while (f && ::ReadFile(f.get(), buffer, sizeof(buffer), &got, nullptr) && got) bytes.append(buffer, got);
        for (const auto& m : syslogsend::ParseSpool(bytes).messages)
            if (m.message.size() >= text.size() && m.message.compare(m.message.size() - text.size(), text.size(), text) == 0)
                return true;
        ::Sleep(100);
    }
    return false;
}

// spool_holder.exe holding the spool file with the given access and sharing while it lives.
class Holder {
public:
    explicit Holder(const std::string& how) : signals_(vc::ProgramsFolder() + "\\holder") {
        ::DeleteFileA((signals_ + ".held").c_str());
        ::DeleteFileA((signals_ + ".release").c_str());
        std::string command = "\"" + vc::ProgramsFolder() + "\\spool_holder.exe\" " + how + " \"" + SpoolPath() +
                              "\" \"" + signals_ + "\"";
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
        vantrel::Handle thread(pi.hThread);
        process_ = vantrel::Handle(pi.hProcess);
        for (int i = 0; i < 600 && !held_; ++i) {
            held_ = ::GetFileAttributesA((signals_ + ".held").c_str()) != INVALID_FILE_ATTRIBUTES;
            if (!held_ && ::WaitForSingleObject(process_.get(), 50) == WAIT_OBJECT_0) break;
        }
    }
    ~Holder() { Release(); }
    bool held() const { return held_; }
    void Release() {
        if (!process_) return;
        vantrel::FileHandle(::CreateFileA((signals_ + ".release").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                          nullptr));
        if (ExitOf(process_, 10000) == 999) ::TerminateProcess(process_.get(), 1);
        process_.reset();
    }

private:
    std::string signals_;
    vantrel::Handle process_;
    bool held_ = false;
};

// The Application log's newest record number (0: empty), and the texts of the sender's
// warnings after a record number, oldest first, with their event ids.
DWORD NewestApplicationRecord() {
    const auto& api = vantrel::evtapi::Get();
    HANDLE log = api.OpenEventLogA(nullptr, "Application");
    DWORD oldest = 0, count = 0;
    const bool ok = log && api.GetOldestEventLogRecord(log, &oldest) && api.GetNumberOfEventLogRecords(log, &count);
    if (log) api.CloseEventLog(log);
    return ok && count ? oldest + count - 1 : 0;
}

std::vector<std::pair<DWORD, std::string>> SenderWarningsAfter(DWORD after) {
    const auto& api = vantrel::evtapi::Get();
    std::vector<std::pair<DWORD, std::string>> found;
    HANDLE log = api.OpenEventLogA(nullptr, "Application");
    if (!log) return found;
    std::vector<BYTE> buffer(0x10000);
    DWORD read = 0, needed = 0;
    bool older = false;
    while (!older && api.ReadEventLogA(log, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_BACKWARDS_READ, 0, buffer.data(),
                                       static_cast<DWORD>(buffer.size()), &read, &needed)) {
        for (DWORD at = 0; at + sizeof(EVENTLOGRECORD) <= read;) {
            const auto* r = reinterpret_cast<const EVENTLOGRECORD*>(buffer.data() + at);
            if (r->RecordNumber <= after) {
                older = true;
                break;
            }
            const char* base = reinterpret_cast<const char*>(r);
            if (std::string(base + sizeof(EVENTLOGRECORD)) == syslogsend::kEventSource && r->NumStrings)
                found.insert(found.begin(), {r->EventID & 0xFFFF, std::string(base + r->StringOffset)});
            at += r->Length;
        }
    }
    api.CloseEventLog(log);
    return found;
}

// Runs the sender as its debugger; returns what it wrote to the debug output.
std::vector<std::string> DebugOutputOf(const std::string& argument, DWORD& exit_code) {
    std::vector<std::string> out;
    std::string command = vc::SenderCommandLine(vc::ProgramsFolder(), argument);
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr,
                          &si, &pi))
        return out;
    vantrel::Handle process(pi.hProcess), thread(pi.hThread);
    DEBUG_EVENT e;
    while (::WaitForDebugEvent(&e, 60000)) {
        DWORD status = DBG_CONTINUE;
        if (e.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT && e.u.CreateProcessInfo.hFile)
            ::CloseHandle(e.u.CreateProcessInfo.hFile);
        if (e.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT && e.u.LoadDll.hFile) ::CloseHandle(e.u.LoadDll.hFile);
        if (e.dwDebugEventCode == EXCEPTION_DEBUG_EVENT &&
            e.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
            status = DBG_EXCEPTION_NOT_HANDLED;
        if (e.dwDebugEventCode == OUTPUT_DEBUG_STRING_EVENT && !e.u.DebugString.fUnicode) {
            std::string text(e.u.DebugString.nDebugStringLength, '\0');
            SIZE_T got = 0;
            if (::ReadProcessMemory(process.get(), e.u.DebugString.lpDebugStringData, text.data(), text.size(), &got))
                out.push_back(text.substr(0, std::min<size_t>(got, text.find('\0'))));
        }
        ::ContinueDebugEvent(e.dwProcessId, e.dwThreadId, status);
        if (e.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
            exit_code = e.u.ExitProcess.dwExitCode;
            break;
        }
    }
    return out;
}

// The senders' shared memory of lost messages: without it the next loss is written at once.
constexpr char kLostWarningState[] = "SOFTWARE\\Vantrel\\syslogsend";
void ForgetLostWarnings() { ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kLostWarningState); }

std::string LeftMessages(const std::string& prefix, int count) {
    syslogsend::Spool left;
    for (int i = 0; i < count; ++i)
        syslogsend::AddMessage(left, "<14>Dec  9 05:07:03 H Vantrel: " + prefix + std::to_string(i));
    return syslogsend::EncodeSpool(left);
}

class Delivery : public ::testing::Test {
protected:
    void SetUp() override {
        if (Env("VANTREL_SYSLOG_OUT").empty()) GTEST_SKIP() << "run through with_rsyslog.sh";
        ::DeleteFileA(SpoolPath().c_str());
        ::RemoveDirectoryA(SpoolPath().c_str());
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

// Another program holds the spool while messages wait: first open for writing with every
// sharing (as an editor), then with none (as a backup agent). The sender that waits goes on
// waiting and empties nothing; a sender during the first hold keeps its message, one during
// the second waits for it (bounded) and then names its message as lost; once the receiver
// is back everything kept arrives once, in order.
TEST_F(Delivery, AHeldSpoolIsNeitherEmptiedNorLost) {
    WriteSpool(LeftMessages("held-0.", 3));
    Configure("127.0.0.1", "1", "TCP");
    vantrel::Handle first;
    {
        Holder holder("rw:rwd");
        ASSERT_TRUE(holder.held());
        first = StartSender("<14>held-1");
        ASSERT_TRUE(Spooled("held-1"));
        EXPECT_EQ(RunSender("<14>held-2"), static_cast<DWORD>(syslogsend::kSpooled));
    }
    ForgetLostWarnings();
    const DWORD before = NewestApplicationRecord();
    {
        Holder holder("r:");
        ASSERT_TRUE(holder.held());
        EXPECT_EQ(ExitOf(StartSender("<14>held-3"), 90000), static_cast<DWORD>(syslogsend::kConnectFailed));
        EXPECT_EQ(ExitOf(first, 0), 999u) << "the waiting sender ended during the hold";
    }
    const auto warnings = SenderWarningsAfter(before);
    ASSERT_FALSE(warnings.empty());
    EXPECT_NE(warnings.back().second.find("Vantrel: held-3"), std::string::npos) << warnings.back().second;
    EXPECT_NE(warnings.back().second.find("error 32"), std::string::npos) << warnings.back().second;
    Configure("127.0.0.1", Env("VANTREL_SYSLOG_TCP_PORT"), "TCP");
    EXPECT_EQ(ExitOf(first, 90000), 0u);
    const std::vector<std::string> order = {"held-0.0", "held-0.1", "held-0.2", "held-1", "held-2"};
    ASSERT_TRUE(Received("| held-2<END>")) << ReadLog();
    const std::string log = ReadLog();
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(Arrivals(order[i]), 1u) << order[i] << "\n" << log;
        if (i) {
            EXPECT_LT(log.find("| " + order[i - 1] + "<END>"), log.find("| " + order[i] + "<END>")) << log;
        }
    }
    EXPECT_EQ(::GetFileAttributesA(SpoolPath().c_str()), INVALID_FILE_ATTRIBUTES) << "the spool was left behind";
}

// A viewer holds the spool without delete sharing, so that it cannot be replaced, while the
// receiver is back: what was delivered is not delivered again, by this sender or the next.
TEST_F(Delivery, WhatWasDeliveredGoesOnceWhileTheSpoolCannotBeReplaced) {
    WriteSpool(LeftMessages("viewed-0.", 150));
    Configure("127.0.0.1", "1", "TCP");
    vantrel::Handle first = StartSender("<14>viewed-1");
    ASSERT_TRUE(Spooled("viewed-1"));
    Holder holder("r:rw");
    ASSERT_TRUE(holder.held());
    Configure("127.0.0.1", Env("VANTREL_SYSLOG_TCP_PORT"), "TCP");
    EXPECT_EQ(ExitOf(first, 90000), 0u);
    EXPECT_EQ(RunSender("<14>viewed-2"), 0u);
    holder.Release();
    EXPECT_EQ(RunSender("<14>viewed-3"), 0u);
    ASSERT_TRUE(Received("| viewed-3<END>")) << ReadLog();
    for (const std::string text : {"viewed-0.0", "viewed-0.99", "viewed-0.100", "viewed-0.149", "viewed-1",
                                   "viewed-2", "viewed-3"})
        EXPECT_EQ(Arrivals(text), 1u) << text;
    const std::string log = ReadLog();
    EXPECT_EQ(log.find("dropped", log.find("| viewed-0.0<END>")), std::string::npos) << log;
}

// A folder where the spool should be (a full disk or a denied write takes the same path),
// the receiver away: each lost message is named in the Application log, the first at once
// and later ones at most once an hour across all senders, counted in the next warning;
// with "Debug" on, also in the debug output.
TEST_F(Delivery, AMessageNeitherDeliveredNorKeptIsNamed) {
    ForgetLostWarnings();
    ASSERT_TRUE(::CreateDirectoryA(SpoolPath().c_str(), nullptr));
    Configure("127.0.0.1", "1", "TCP");
    const DWORD before = NewestApplicationRecord();
    EXPECT_EQ(RunSender("<14>unkept-1"), static_cast<DWORD>(syslogsend::kConnectFailed));
    auto warnings = SenderWarningsAfter(before);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].first, SYSLOGSEND_MESSAGE_LOST);
    EXPECT_NE(warnings[0].second.find("A syslog message could be neither delivered nor kept, and is lost"),
              std::string::npos) << warnings[0].second;
    EXPECT_NE(warnings[0].second.find("Vantrel: unkept-1"), std::string::npos) << warnings[0].second;
    EXPECT_NE(warnings[0].second.find("syslogsend.spool could not be written"), std::string::npos)
        << warnings[0].second;
    EXPECT_EQ(RunSender("<14>unkept-2"), static_cast<DWORD>(syslogsend::kConnectFailed));
    EXPECT_EQ(SenderWarningsAfter(before).size(), 1u) << "a warning for each lost message";

    // An hour later by the shared state, with debug lines on.
    vantrel::RegKey state;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kLostWarningState, 0, KEY_SET_VALUE, state.put()), ERROR_SUCCESS);
    const ULONGLONG hour_ago = ::GetTickCount64() - 60ull * 60 * 1000 - 1000;
    ASSERT_EQ(::RegSetValueExA(state.get(), "LostWarnedAt", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&hour_ago),
                               sizeof(hour_ago)),
              ERROR_SUCCESS);
    ASSERT_TRUE(vc::SetKeyValue(HKEY_LOCAL_MACHINE, vc::kSettingsKey, 1, "Debug", "1"));
    DWORD code = 1000;
    const auto debug = DebugOutputOf("<14>unkept-3", code);
    vc::SetKeyValue(HKEY_LOCAL_MACHINE, vc::kSettingsKey, 1, "Debug", "0");
    EXPECT_EQ(code, static_cast<DWORD>(syslogsend::kConnectFailed));
    ASSERT_EQ(debug.size(), 1u);
    EXPECT_NE(debug[0].find("Vantrel: unkept-3"), std::string::npos) << debug[0];
    warnings = SenderWarningsAfter(before);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[1].second.find("Vantrel: unkept-3"), std::string::npos) << warnings[1].second;
    EXPECT_NE(warnings[1].second.find("1 other message was lost the same way since the last such warning"),
              std::string::npos) << warnings[1].second;

    // A loss that no later loss names is said by the next sender once a warning is due.
    EXPECT_EQ(RunSender("<14>unkept-4"), static_cast<DWORD>(syslogsend::kConnectFailed));
    ASSERT_EQ(::RegSetValueExA(state.get(), "LostWarnedAt", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&hour_ago),
                               sizeof(hour_ago)),
              ERROR_SUCCESS);
    EXPECT_TRUE(::RemoveDirectoryA(SpoolPath().c_str()));
    Configure("127.0.0.1", Env("VANTREL_SYSLOG_TCP_PORT"), "TCP");
    EXPECT_EQ(RunSender("<14>delivered after the losses"), 0u);
    warnings = SenderWarningsAfter(before);
    ASSERT_EQ(warnings.size(), 3u);
    EXPECT_NE(warnings[2].second.find("1 message was lost since the last such warning"), std::string::npos)
        << warnings[2].second;
}
}  // namespace
