// Conformance of vteventlog.dll with the platform's documented event-log behaviour, called
// through the evtapi switch.
#include <gtest/gtest.h>

#include <algorithm>

#include "dll_support.h"

namespace vantrel::evtlog::test {
namespace {

// Owns an event-log or event-source handle.
class EvHandle {
public:
    explicit EvHandle(HANDLE h = nullptr) : h_(h) {}
    ~EvHandle() { if (h_) Api().CloseEventLog(h_); }
    EvHandle(const EvHandle&) = delete;
    EvHandle& operator=(const EvHandle&) = delete;
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    HANDLE h_;
};

DWORD Count(HANDLE h) {
    DWORD n = 0xFFFFFFFF;
    EXPECT_TRUE(Api().GetNumberOfEventLogRecords(h, &n)) << GetLastError();
    return n;
}

DWORD Oldest(HANDLE h) {
    DWORD n = 0xFFFFFFFF;
    EXPECT_TRUE(Api().GetOldestEventLogRecord(h, &n)) << GetLastError();
    return n;
}

TEST(Switch, UnderWineTheSubstituteIsChosen) {
    EXPECT_EQ(evtapi::Which(), evtapi::Backend::Substitute) << evtapi::LoadError();
    EXPECT_NE(Api().NotifyChangeEventLog, nullptr);
}

TEST(Names, LocalComputerInAnySpellingAndRemoteNamesRefused) {
    TestLog log("VtNames", 0x10000);
    std::string me = ComputerName();
    std::string lower = me;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    for (const char* server : {static_cast<const char*>(nullptr), "", "\\\\"}) {
        EvHandle h(Api().OpenEventLogA(server, "VtNames"));
        EXPECT_TRUE(h) << (server ? server : "(null)") << " " << GetLastError();
    }
    for (const std::string& server : {me, lower, "\\\\" + me, "\\\\" + lower}) {
        EvHandle h(Api().OpenEventLogA(server.c_str(), "VtNames"));
        EXPECT_TRUE(h) << server << " " << GetLastError();
    }
    EXPECT_EQ(Api().OpenEventLogA("\\\\NOSUCHHOST", "VtNames"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(RPC_S_SERVER_UNAVAILABLE));
    EXPECT_EQ(Api().RegisterEventSourceA("NOSUCHHOST", "VtNames"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(RPC_S_SERVER_UNAVAILABLE));
    EXPECT_EQ(Api().OpenBackupEventLogA("\\\\NOSUCHHOST", "x.evt"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(RPC_S_SERVER_UNAVAILABLE));
}

TEST(Names, SourcesLeadToTheirLogAndUnknownNamesToApplication) {
    TestLog a("VtLogA", 0x10000), b("VtLogB", 0x10000);
    b.AddSource("VtSourceOfB");
    EvHandle readerB(Api().OpenEventLogA(nullptr, "VtLogB"));
    ASSERT_TRUE(readerB);
    DWORD before = Count(readerB.get());
    {
        EvHandle src(Api().RegisterEventSourceA(nullptr, "VtSourceOfB"));
        ASSERT_TRUE(src);
        ASSERT_TRUE(Report(src.get(), 1));
    }
    EXPECT_EQ(Count(readerB.get()), before + 1);
    // Opening by the source's name reads its log too.
    EvHandle bySource(Api().OpenEventLogA(nullptr, "vtsourceofb"));
    ASSERT_TRUE(bySource);
    EXPECT_EQ(Count(bySource.get()), before + 1);
    // A name that is neither a log nor a source writes to Application, and so does a
    // subkey of the EventLog key that is not a log (Wine's Parameters).
    EvHandle app(Api().OpenEventLogA(nullptr, "Application"));
    ASSERT_TRUE(app);
    DWORD appBefore = Count(app.get());
    {
        EvHandle src(Api().RegisterEventSourceA(nullptr, "VtNoSuchSource"));
        ASSERT_TRUE(src);
        ASSERT_TRUE(Report(src.get(), 2));
        EvHandle params(Api().RegisterEventSourceA(nullptr, "Parameters"));
        ASSERT_TRUE(params);
        ASSERT_TRUE(Report(params.get(), 3));
    }
    EXPECT_EQ(Count(app.get()), appBefore + 2);
    auto last = ReadAll(app.get(), EVENTLOG_BACKWARDS_READ);
    ASSERT_GE(last.size(), 2u);
    EXPECT_EQ(last[0].source, "Parameters");
    EXPECT_EQ(last[1].source, "VtNoSuchSource");
}

TEST(Security, OpeningTheSecurityLogNeedsSeSecurityPrivilege) {
    ASSERT_TRUE(SetPrivilege(L"SeSecurityPrivilege", false));
    EXPECT_EQ(Api().OpenEventLogA(nullptr, "Security"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PRIVILEGE_NOT_HELD));
    ASSERT_TRUE(SetPrivilege(L"SeSecurityPrivilege", true));
    EvHandle h(Api().OpenEventLogA(nullptr, "security"));
    EXPECT_TRUE(h) << GetLastError();
    SetPrivilege(L"SeSecurityPrivilege", false);
}

TEST(Report, FieldsComeBackInTheAnsiRecord) {
    TestLog log("VtReport", 0x10000);
    EvHandle src(Api().RegisterEventSourceA(nullptr, "VtReport"));
    ASSERT_TRUE(src);
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof sid;
    ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, sid, &sidSize));
    ASSERT_TRUE(Api().ReportEventA(src.get(), EVENTLOG_WARNING_TYPE, 7, 0xC0000005, sid, 0, 0, nullptr, nullptr));
    ASSERT_TRUE(Report(src.get(), 1000, {"caf\xe9", "", "two words"}, {1, 2, 255}));
    EvHandle h(Api().OpenEventLogA(nullptr, "VtReport"));
    ASSERT_TRUE(h);
    auto all = ReadAll(h.get(), EVENTLOG_FORWARDS_READ);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].number, 1u);
    EXPECT_EQ(all[0].type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(all[0].category, 7);
    EXPECT_EQ(all[0].eventId, 0xC0000005);
    EXPECT_EQ(all[0].source, "VtReport");
    EXPECT_EQ(all[0].computer, ComputerName());
    EXPECT_EQ(all[0].sid, std::vector<BYTE>(sid, sid + sidSize));
    EXPECT_TRUE(all[0].strings.empty());
    EXPECT_TRUE(all[0].data.empty());
    EXPECT_EQ(all[1].number, 2u);
    EXPECT_EQ(all[1].strings, (std::vector<std::string>{"caf\xe9", "", "two words"}));
    EXPECT_EQ(all[1].data, (std::vector<BYTE>{1, 2, 255}));
    EXPECT_TRUE(all[1].sid.empty());
}

TEST(Report, BadArgumentsAreRefused) {
    TestLog log("VtReportArgs", 0x10000);
    EvHandle src(Api().RegisterEventSourceA(nullptr, "VtReportArgs"));
    ASSERT_TRUE(src);
    EXPECT_FALSE(Api().ReportEventA(src.get(), 4, 0, 1, nullptr, 2, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(Api().ReportEventA(src.get(), 4, 0, 1, nullptr, 0, 4, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EvHandle reader(Api().OpenEventLogA(nullptr, "VtReportArgs"));
    EXPECT_FALSE(Api().ReportEventA(reader.get(), 4, 0, 1, nullptr, 0, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(Api().ReportEventA(reinterpret_cast<HANDLE>(0x7777), 4, 0, 1, nullptr, 0, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(Count(reader.get()), 0u);
}

class Wrapped : public ::testing::Test {
protected:
    // A 64 KiB log that has wrapped, with one record larger than a 4 KiB buffer.
    void SetUp() override {
        EvHandle src(Api().RegisterEventSourceA(nullptr, "VtWrap"));
        ASSERT_TRUE(src);
        for (int i = 1; i <= 700; ++i) {
            std::vector<BYTE> data(i == 690 ? 6000 : i % 13, BYTE(i));
            ASSERT_TRUE(Report(src.get(), DWORD(i), {"insert " + std::to_string(i)}, data)) << GetLastError();
        }
        h = std::make_unique<EvHandle>(Api().OpenEventLogA(nullptr, "VtWrap"));
        ASSERT_TRUE(*h);
        oldest = Oldest(h->get());
        count = Count(h->get());
        ASSERT_GT(oldest, 1u);
        ASSERT_EQ(oldest + count - 1, 700u);
    }
    TestLog log{"VtWrap", 0x10000};
    std::unique_ptr<EvHandle> h;
    DWORD oldest = 0, count = 0;
};

TEST_F(Wrapped, SequentialReadsCoverTheLogInBothDirections) {
    auto fwd = ReadAll(h->get(), EVENTLOG_FORWARDS_READ, 4096);
    ASSERT_EQ(fwd.size(), count);
    for (DWORD i = 0; i < count; ++i) {
        ASSERT_EQ(fwd[i].number, oldest + i);
        ASSERT_EQ(fwd[i].eventId, oldest + i);
        ASSERT_EQ(fwd[i].strings, std::vector<std::string>{"insert " + std::to_string(oldest + i)});
    }
    EvHandle back(Api().OpenEventLogA(nullptr, "VtWrap"));
    auto bwd = ReadAll(back.get(), EVENTLOG_BACKWARDS_READ, 4096);
    ASSERT_EQ(bwd.size(), count);
    for (DWORD i = 0; i < count; ++i) ASSERT_EQ(bwd[i].number, 700 - i);
}

TEST_F(Wrapped, SeekReadsAndReadsPastEitherEnd) {
    std::vector<BYTE> b(0x10000);
    DWORD read = 0, needed = 0;
    ASSERT_TRUE(Api().ReadEventLogA(h->get(), EVENTLOG_SEEK_READ | EVENTLOG_BACKWARDS_READ, oldest + 1,
                                    b.data(), DWORD(b.size()), &read, &needed));
    auto r = Parse(b.data(), read);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].number, oldest + 1);
    EXPECT_EQ(r[1].number, oldest);
    // Sequential after the oldest going backwards: the end.
    EXPECT_FALSE(Api().ReadEventLogA(h->get(), EVENTLOG_SEQUENTIAL_READ | EVENTLOG_BACKWARDS_READ, 0,
                                     b.data(), DWORD(b.size()), &read, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_HANDLE_EOF));
    ASSERT_TRUE(Api().ReadEventLogA(h->get(), EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ, 700, b.data(),
                                    DWORD(b.size()), &read, &needed));
    EXPECT_EQ(Parse(b.data(), read).size(), 1u);
    EXPECT_FALSE(Api().ReadEventLogA(h->get(), EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ, 0,
                                     b.data(), DWORD(b.size()), &read, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_HANDLE_EOF));
    for (DWORD n : {DWORD(oldest - 1), DWORD(701), DWORD(0)}) {
        EXPECT_FALSE(Api().ReadEventLogA(h->get(), EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ, n,
                                         b.data(), DWORD(b.size()), &read, &needed));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << n;
    }
}

TEST_F(Wrapped, RecordLargerThanTheBufferGivesItsSize) {
    std::vector<BYTE> b(4096);
    DWORD read = 1, needed = 0;
    EXPECT_FALSE(Api().ReadEventLogA(h->get(), EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ, 690, b.data(),
                                     DWORD(b.size()), &read, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(read, 0u);
    EXPECT_GT(needed, 6000u);
    b.resize(needed);
    ASSERT_TRUE(Api().ReadEventLogA(h->get(), EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ, 690, b.data(),
                                    needed, &read, &needed));
    EXPECT_EQ(read, b.size());
    EXPECT_EQ(Parse(b.data(), read)[0].data.size(), 6000u);
    // Zero bytes into a buffer: the size; no buffer at all: invalid parameter.
    EXPECT_FALSE(Api().ReadEventLogA(h->get(), EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ, 691, b.data(),
                                     0, &read, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_GT(needed, sizeof(EVENTLOGRECORD));
    EXPECT_FALSE(Api().ReadEventLogA(h->get(), EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ, 691, nullptr,
                                     100, &read, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(Clear, HandlesOpenedBeforeAClearGetFileChangedWhileCountsAnswer) {
    TestLog log("VtClear", 0x10000);
    EvHandle src(Api().RegisterEventSourceA(nullptr, "VtClear"));
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(Report(src.get(), DWORD(i)));
    EvHandle before(Api().OpenEventLogA(nullptr, "VtClear"));
    EvHandle clearer(Api().OpenEventLogA(nullptr, "VtClear"));
    ASSERT_TRUE(Api().ClearEventLogA(clearer.get(), nullptr));
    EXPECT_EQ(Count(before.get()), 0u);
    EXPECT_EQ(Oldest(before.get()), 0u);
    ASSERT_TRUE(Report(src.get(), 77));
    std::vector<BYTE> b(4096);
    DWORD read = 0, needed = 0;
    EXPECT_FALSE(Api().ReadEventLogA(before.get(), EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ, 0,
                                     b.data(), DWORD(b.size()), &read, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_EVENTLOG_FILE_CHANGED));
    EXPECT_EQ(Count(before.get()), 1u);
    EXPECT_EQ(Oldest(before.get()), 1u);
    // A handle opened after the clear reads; numbering started again at 1.
    EvHandle after(Api().OpenEventLogA(nullptr, "VtClear"));
    auto all = ReadAll(after.get(), EVENTLOG_FORWARDS_READ);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].number, 1u);
    EXPECT_EQ(all[0].eventId, 77u);
}

TEST(Clear, BackupFirstAndNeverOverAnExistingFile) {
    TestLog log("VtBackup", 0x10000);
    EvHandle src(Api().RegisterEventSourceA(nullptr, "VtBackup"));
    for (int i = 1; i <= 3; ++i) ASSERT_TRUE(Report(src.get(), DWORD(i), {"s" + std::to_string(i)}));
    EvHandle h(Api().OpenEventLogA(nullptr, "VtBackup"));
    std::string backup = ScratchPath("VtBackup-copy.evt");
    ASSERT_TRUE(Api().ClearEventLogA(h.get(), backup.c_str())) << GetLastError();
    EXPECT_EQ(Count(h.get()), 0u);
    // The backup holds the records as they were.
    EvHandle b(Api().OpenBackupEventLogA(nullptr, backup.c_str()));
    ASSERT_TRUE(b) << GetLastError();
    EXPECT_EQ(Count(b.get()), 3u);
    EXPECT_EQ(Oldest(b.get()), 1u);
    auto records = ReadAll(b.get(), EVENTLOG_BACKWARDS_READ);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].strings, std::vector<std::string>{"s3"});
    // Clearing or backing up onto an existing file fails and changes nothing.
    ASSERT_TRUE(Report(src.get(), 9));
    EXPECT_FALSE(Api().ClearEventLogA(h.get(), backup.c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(Count(h.get()), 1u);
    EXPECT_FALSE(Api().BackupEventLogA(h.get(), backup.c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(Api().BackupEventLogA(h.get(), nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    // A backup of a backup is a further copy.
    std::string second = ScratchPath("VtBackup-second.evt");
    ASSERT_TRUE(Api().BackupEventLogA(b.get(), second.c_str()));
    EvHandle b2(Api().OpenBackupEventLogA(nullptr, second.c_str()));
    EXPECT_EQ(Count(b2.get()), 3u);
    EXPECT_FALSE(Api().ClearEventLogA(b.get(), nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    DeleteFileA(second.c_str());
    DeleteFileA(backup.c_str());
}

class Fixtures : public ::testing::Test {
protected:
    void SetUp() override {
        if (GetFileAttributesA((std::string(EVTLOG_FIXTURES) + "\\SysEvent.Evt").c_str()) == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "fixtures not found beside the checkout (" << EVTLOG_FIXTURES << ")";
    }
    std::string Path(const char* name) { return std::string(EVTLOG_FIXTURES) + "\\" + name; }
};

TEST_F(Fixtures, RepairedSystemLogReadsInFullBothWays) {
    EvHandle h(Api().OpenBackupEventLogA(nullptr, Path("SysEvent-repaired.Evt").c_str()));
    ASSERT_TRUE(h) << GetLastError();
    EXPECT_EQ(Oldest(h.get()), 1392u);
    EXPECT_EQ(Count(h.get()), 6063u);
    auto fwd = ReadAll(h.get(), EVENTLOG_FORWARDS_READ, 4096);
    ASSERT_EQ(fwd.size(), 6063u);
    EXPECT_EQ(fwd.front().number, 1392u);
    EXPECT_EQ(fwd.back().number, 7454u);
    EXPECT_EQ(fwd.front().source, "LSASRV");
    EXPECT_EQ(fwd.front().computer, "WKS-WINXP32BIT");
    EXPECT_EQ(fwd.front().eventId, 0x8000a001u);
    EXPECT_EQ(fwd.front().strings.at(0), "cifs/CONTROLLER");
    EvHandle h2(Api().OpenBackupEventLogA("", Path("SysEvent-repaired.Evt").c_str()));
    auto bwd = ReadAll(h2.get(), EVENTLOG_BACKWARDS_READ);
    ASSERT_EQ(bwd.size(), 6063u);
    for (size_t i = 0; i < bwd.size(); ++i) ASSERT_EQ(bwd[i].number, 7454 - i);
}

TEST_F(Fixtures, DirtyLogAndNoFileNameAreRefused) {
    EXPECT_EQ(Api().OpenBackupEventLogA(nullptr, Path("SysEvent.Evt").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_EVENTLOG_FILE_CORRUPT));
    EXPECT_EQ(Api().OpenBackupEventLogA(nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Api().OpenBackupEventLogA(nullptr, Path("NoSuchFile.Evt").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(Fixtures, DirtyCopyUsedAsALiveLogIsRepairedFromItsEndOfFileRecord) {
    TestLog log("VtCopied", 0x200000);
    ASSERT_TRUE(CopyFileA(Path("SysEvent.Evt").c_str(), log.FilePath().c_str(), FALSE));
    SetFileAttributesA(log.FilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
    EvHandle h(Api().OpenEventLogA(nullptr, "VtCopied"));
    ASSERT_TRUE(h) << GetLastError();
    EXPECT_EQ(Oldest(h.get()), 1392u);
    EXPECT_EQ(Count(h.get()), 6063u);
    EXPECT_EQ(ReadAll(h.get(), EVENTLOG_BACKWARDS_READ).size(), 6063u);
}

TEST(Settings, RetentionNeverFillsUpWithLogFileFull) {
    TestLog log("VtFull", 0x10000, 0xFFFFFFFF);
    EvHandle src(Api().RegisterEventSourceA(nullptr, "VtFull"));
    int written = 0;
    while (Report(src.get(), 1, {std::string(200, 'x')}) && written < 10000) ++written;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_LOG_FILE_FULL));
    EvHandle h(Api().OpenEventLogA(nullptr, "VtFull"));
    EXPECT_EQ(Oldest(h.get()), 1u);
    EXPECT_EQ(Count(h.get()), DWORD(written));
}

// A changed File value never splits a log that is open somewhere: it takes effect once
// every handle to the log is closed.
TEST(Settings, ChangedFileTakesEffectWhenTheLogIsNextOpenedAfresh) {
    TestLog log("VtMoved", 0x10000);
    std::string moved = ScratchPath("VtMoved-new.evt");
    {
        EvHandle src(Api().RegisterEventSourceA(nullptr, "VtMoved"));
        ASSERT_TRUE(Report(src.get(), 1));
        HKEY key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\VtMoved", 0,
                                KEY_SET_VALUE, &key), ERROR_SUCCESS);
        RegSetValueExA(key, "File", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(moved.c_str()),
                       DWORD(moved.size() + 1));
        RegCloseKey(key);
        EvHandle h(Api().OpenEventLogA(nullptr, "VtMoved"));
        EXPECT_EQ(Count(h.get()), 1u);  // still the first file
        ASSERT_TRUE(Report(src.get(), 2));
        EXPECT_EQ(Count(h.get()), 2u);
        EXPECT_EQ(GetFileAttributesA(moved.c_str()), INVALID_FILE_ATTRIBUTES);
    }
    {
        EvHandle fresh(Api().OpenEventLogA(nullptr, "VtMoved"));
        EXPECT_EQ(Count(fresh.get()), 0u);
        EXPECT_NE(GetFileAttributesA(moved.c_str()), INVALID_FILE_ATTRIBUTES);
    }
    DeleteFileA(moved.c_str());
}

TEST(Notify, ChangeEventIsSignalledByAWrite) {
    TestLog log("VtNotify", 0x10000);
    EvHandle h(Api().OpenEventLogA(nullptr, "VtNotify"));
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_TRUE(Api().NotifyChangeEventLog(h.get(), event));
    EXPECT_EQ(WaitForSingleObject(event, 300), DWORD(WAIT_TIMEOUT));
    EvHandle src(Api().RegisterEventSourceA(nullptr, "VtNotify"));
    ASSERT_TRUE(Report(src.get(), 1));
    EXPECT_EQ(WaitForSingleObject(event, 5000), DWORD(WAIT_OBJECT_0));
    CloseHandle(event);
}

}  // namespace
}  // namespace vantrel::evtlog::test
