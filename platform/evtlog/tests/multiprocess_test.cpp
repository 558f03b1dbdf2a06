// Several processes writing one log while this one reads it: nothing is lost, doubled or
// torn, and each writer's events keep their order.
#include <gtest/gtest.h>

#include <map>

#include "dll_support.h"
#include "platform/winapi/handles.h"

namespace vantrel::evtlog::test {
namespace {

std::string OwnFolder() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of('\\') + 1);
}

// Starts evtlog_test_writer.exe with these arguments; an empty handle when it cannot.
Handle StartWriter(const std::string& args) {
    std::string cmd = "\"" + OwnFolder() + "evtlog_test_writer.exe\" " + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return Handle();
    CloseHandle(pi.hThread);
    return Handle(pi.hProcess);
}

TEST(MultiProcess, WritersAndAReaderAtOnceLoseNothing) {
    TestLog log("VtMulti", 0x400000);
    const int kWriters = 3, kEach = 1500;
    HANDLE reader = Api().OpenEventLogA(nullptr, "VtMulti");
    ASSERT_TRUE(reader) << GetLastError();
    std::vector<Handle> children;
    for (int w = 0; w < kWriters; ++w) {
        children.push_back(StartWriter("VtMulti w" + std::to_string(w) + " " + std::to_string(kEach)));
        ASSERT_TRUE(children.back()) << GetLastError();
    }
    std::vector<ReadRecord> seen;
    std::vector<BYTE> buffer(0x10000);
    auto drain = [&] {
        for (;;) {
            DWORD read = 0, needed = 0;
            if (!Api().ReadEventLogA(reader, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ, 0, buffer.data(),
                                     DWORD(buffer.size()), &read, &needed)) {
                ASSERT_EQ(GetLastError(), DWORD(ERROR_HANDLE_EOF));
                return;
            }
            for (auto& r : Parse(buffer.data(), read)) seen.push_back(std::move(r));
        }
    };
    // Read while they write, until all have ended, then take the rest.
    for (;;) {
        drain();
        bool running = false;
        for (auto& c : children) running |= WaitForSingleObject(c.get(), 0) == WAIT_TIMEOUT;
        if (!running) break;
        Sleep(5);
    }
    drain();
    for (auto& c : children) {
        DWORD code = 99;
        GetExitCodeProcess(c.get(), &code);
        EXPECT_EQ(code, 0u);
    }
    ASSERT_EQ(seen.size(), size_t(kWriters * kEach));
    std::map<std::string, int> next;
    for (size_t i = 0; i < seen.size(); ++i) {
        ASSERT_EQ(seen[i].number, i + 1);
        ASSERT_EQ(seen[i].strings.size(), 1u);
        const std::string& s = seen[i].strings[0];
        std::string tag = s.substr(0, s.find(' '));
        int n = std::stoi(s.substr(s.find(' ') + 1));
        ASSERT_EQ(n, next[tag]) << tag;
        ASSERT_EQ(seen[i].eventId, DWORD(n));
        next[tag] = n + 1;
    }
    EXPECT_EQ(next.size(), size_t(kWriters));
    Api().CloseEventLog(reader);
}

struct KilledJob {
    HANDLE done;
    BOOL ok;
};

DWORD WINAPI ReportAfterKill(void* p) {
    auto* j = static_cast<KilledJob*>(p);
    HANDLE src = Api().RegisterEventSourceA(nullptr, "VtKilled");
    j->ok = src && Report(src, 1, {"after the kill"});
    if (src) Api().DeregisterEventSource(src);
    SetEvent(j->done);
    return 0;
}

// Writers killed in the middle of their work (most likely while holding the log's lock)
// neither block the log nor leave a record half-written.
TEST(MultiProcess, AWriterKilledMidWayLeavesTheLogUsable) {
    TestLog log("VtKilled", 0x20000);
    for (int round = 0; round < 3; ++round) {
        Handle child = StartWriter("VtKilled k" + std::to_string(round) + " 10000000");
        ASSERT_TRUE(child);
        Sleep(300);
        TerminateProcess(child.get(), 1);
        WaitForSingleObject(child.get(), INFINITE);
        // A report from here must get through within seconds, not hang on a dead owner.
        HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        KilledJob job{done, FALSE};
        HANDLE t = CreateThread(nullptr, 0, ReportAfterKill, &job, 0, nullptr);
        ASSERT_EQ(WaitForSingleObject(done, 20000), DWORD(WAIT_OBJECT_0)) << "log still locked by a dead writer";
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
        CloseHandle(done);
        EXPECT_TRUE(job.ok);
        HANDLE h = Api().OpenEventLogA(nullptr, "VtKilled");
        ASSERT_TRUE(h);
        DWORD oldest = 0, count = 0;
        Api().GetOldestEventLogRecord(h, &oldest);
        Api().GetNumberOfEventLogRecords(h, &count);
        auto all = ReadAll(h, EVENTLOG_FORWARDS_READ);
        Api().CloseEventLog(h);
        ASSERT_EQ(all.size(), count);
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(all.front().number, oldest);
        EXPECT_EQ(all.back().strings, std::vector<std::string>{"after the kill"});
    }
}

// A MaxSize lowered and then a clear while another process writes to the log: from the
// clear on the log wraps within the new size, in this process and in the other, and the
// file is cut to that size once the other lets go.
TEST(MultiProcess, ALoweredMaxSizeTakesEffectAtTheNextClearWhileAnotherProcessWrites) {
    TestLog log("VtShrink", 0x40000);
    HANDLE src = Api().RegisterEventSourceA(nullptr, "VtShrink");
    ASSERT_TRUE(src);
    for (int i = 1; i <= 2000; ++i) ASSERT_TRUE(Report(src, DWORD(i), {std::string(150, 'o')}));
    ASSERT_EQ(log.FileSize(), 0x40000u);
    HANDLE h = Api().OpenEventLogA(nullptr, "VtShrink");
    ASSERT_TRUE(h);
    // The other process writes 5 events, holds the log for a while, then writes 5 more.
    Handle child = StartWriter("VtShrink held 5 3000");
    ASSERT_TRUE(child);
    DWORD count = 0, oldest = 0;
    for (int i = 0; i < 500; ++i) {
        Api().GetOldestEventLogRecord(h, &oldest);
        Api().GetNumberOfEventLogRecords(h, &count);
        if (oldest + count - 1 >= 2005) break;
        Sleep(10);
    }
    ASSERT_EQ(oldest + count - 1, 2005u);  // the other's first five are in

    log.SetMaxSize(0x10000);
    ASSERT_TRUE(Api().ClearEventLogA(h, nullptr)) << GetLastError();
    for (int i = 1; i <= 1000; ++i) ASSERT_TRUE(Report(src, DWORD(i), {std::string(150, 'n')}));
    Api().GetOldestEventLogRecord(h, &oldest);
    Api().GetNumberOfEventLogRecords(h, &count);
    EXPECT_GT(oldest, 1u);
    EXPECT_LT(count * 200, 0x10000u);
    ASSERT_EQ(WaitForSingleObject(child.get(), 60000), DWORD(WAIT_OBJECT_0));
    DWORD code = 99;
    GetExitCodeProcess(child.get(), &code);
    EXPECT_EQ(code, 0u);
    HANDLE fresh = Api().OpenEventLogA(nullptr, "VtShrink");
    auto all = ReadAll(fresh, EVENTLOG_FORWARDS_READ);
    Api().GetNumberOfEventLogRecords(h, &count);
    ASSERT_EQ(all.size(), count);
    EXPECT_EQ(all.back().strings, std::vector<std::string>{"held 9"});
    EXPECT_EQ(all.back().number, 1005u);
    Api().CloseEventLog(fresh);
    Api().CloseEventLog(h);
    Api().DeregisterEventSource(src);
    EXPECT_EQ(log.FileSize(), 0x10000u);
}

DWORD RunWriter(const std::string& exe, const std::string& args) {
    std::string cmd = "\"" + exe + "\" " + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return GetLastError() | 0x80000000;
    CloseHandle(pi.hThread);
    Handle process(pi.hProcess);
    WaitForSingleObject(process.get(), 60000);
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return code;
}

// A program whose folder lacks vteventlog.dll gets a clear failure from every function
// under Wine, never the platform's stubs.
TEST(Switch, WithoutTheSubstituteEveryCallFailsWithTheLoadError) {
    TestLog log("VtAlone", 0x10000);
    std::string dir = ScratchPath("alone");
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string exe = dir + "\\evtlog_test_writer.exe";
    ASSERT_TRUE(CopyFileA((OwnFolder() + "evtlog_test_writer.exe").c_str(), exe.c_str(), FALSE));
    EXPECT_EQ(RunWriter(exe, "VtAlone t 1"), DWORD(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(RunWriter(OwnFolder() + "evtlog_test_writer.exe", "VtAlone t 1"), 0u);
    DeleteFileA(exe.c_str());
    RemoveDirectoryA(dir.c_str());
}

}  // namespace
}  // namespace vantrel::evtlog::test
