// Conformance of vteventlog.dll with the platform's documented event-log behaviour, called
// through the evtapi switch.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "damaged_copy.h"
#include "dll_support.h"
#include "platform/winapi/handles.h"

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

// A log made the way clients make one: a new subkey with source subkeys and no values.
// It is a log of its own, in the platform's default file, and its sources write there.
TEST(Names, ALogCreatedWithOnlySourceSubkeysIsALogOfItsOwn) {
    const std::string key = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\VtClientLog";
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string file = std::string(windows) + "\\System32\\config\\VtClientLog.evt";
    DeleteFileA(file.c_str());
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (key + "\\VtClientSource").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &k, nullptr), ERROR_SUCCESS);
    RegCloseKey(k);
    {
        EvHandle app(Api().OpenEventLogA(nullptr, "Application"));
        DWORD appBefore = Count(app.get());
        {
            EvHandle src(Api().RegisterEventSourceA(nullptr, "VtClientSource"));
            ASSERT_TRUE(src);
            ASSERT_TRUE(Report(src.get(), 7));
        }
        EvHandle log(Api().OpenEventLogA(nullptr, "VtClientLog"));
        ASSERT_TRUE(log);
        EXPECT_EQ(Count(log.get()), 1u);
        auto all = ReadAll(log.get(), EVENTLOG_FORWARDS_READ);
        ASSERT_EQ(all.size(), 1u);
        EXPECT_EQ(all[0].source, "VtClientSource");
        EXPECT_EQ(Count(app.get()), appBefore);
        EXPECT_NE(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES) << file;
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
    DeleteFileA(file.c_str());
}

// Other programs add and remove logs and sources while a name is looked up; the entries of
// a log or source that stays must still reach that log, never Application. (A key that
// goes away during an enumeration by index makes the next one skipped.)
TEST(Names, EntriesReachTheirLogWhileOtherLogsComeAndGo) {
    TestLog target("VtZChurnTarget", 0x80000);
    target.AddSource("VtZChurnSource");
    std::atomic<bool> done{false};
    std::thread churn([&] {
        const char key[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\VtAChurn";
        while (!done) {
            HKEY k = nullptr;
            if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) ==
                ERROR_SUCCESS)
                RegCloseKey(k);
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
        }
    });
    constexpr DWORD kWrites = 200;
    DWORD written = 0;
    for (DWORD i = 0; i < kWrites; ++i) {
        EvHandle src(Api().RegisterEventSourceA(nullptr, i % 2 ? "VtZChurnTarget" : "VtZChurnSource"));
        if (src && Report(src.get(), i)) ++written;
    }
    done = true;
    churn.join();
    EXPECT_EQ(written, kWrites);
    EvHandle reader(Api().OpenEventLogA(nullptr, "VtZChurnTarget"));
    ASSERT_TRUE(reader);
    EXPECT_EQ(Count(reader.get()), kWrites);
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

// Only the system writes the Security log: no source can be registered for it, and a
// reader's handle (held with SeSecurityPrivilege) cannot report to it, whatever privileges
// the process enables.
TEST(Security, NoProcessWritesTheSecurityLog) {
    for (const char* name : {"Security", "security"}) {
        EXPECT_EQ(Api().RegisterEventSourceA(nullptr, name), nullptr);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED)) << name;
    }
    const std::string auditSource = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Security\\VtAuditSource";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, auditSource.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(Api().RegisterEventSourceA(nullptr, "VtAuditSource"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, auditSource.c_str());

    ASSERT_TRUE(SetPrivilege(L"SeSecurityPrivilege", true));
    SetPrivilege(L"SeAuditPrivilege", true);
    {
        EvHandle h(Api().OpenEventLogA(nullptr, "Security"));
        ASSERT_TRUE(h) << GetLastError();
        DWORD before = Count(h.get());
        EXPECT_FALSE(Api().ReportEventA(h.get(), EVENTLOG_AUDIT_SUCCESS, 0, 1, nullptr, 0, 0, nullptr, nullptr));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
        EXPECT_EQ(Count(h.get()), before);
    }
    SetPrivilege(L"SeAuditPrivilege", false);
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
    EXPECT_FALSE(Api().ReportEventA(reinterpret_cast<HANDLE>(0x7777), 4, 0, 1, nullptr, 0, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(Api().ReportEventA(nullptr, 4, 0, 1, nullptr, 2, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));  // the handle before the arguments
    EvHandle reader(Api().OpenEventLogA(nullptr, "VtReportArgs"));
    EXPECT_EQ(Count(reader.get()), 0u);
}

// As on the platform, a handle of either kind writes, counts and finds the oldest: a
// reader's events carry the name it opened the log by.
TEST(Report, HandlesOfEitherKindWriteAndCount) {
    TestLog log("VtKinds", 0x10000);
    log.AddSource("VtKindsSource");
    EvHandle reader(Api().OpenEventLogA(nullptr, "VtKindsSource"));
    ASSERT_TRUE(reader);
    ASSERT_TRUE(Report(reader.get(), 1)) << GetLastError();
    EvHandle src(Api().RegisterEventSourceA(nullptr, "VtKinds"));
    ASSERT_TRUE(src);
    EXPECT_EQ(Count(src.get()), 1u);
    EXPECT_EQ(Oldest(src.get()), 1u);
    ASSERT_TRUE(Report(src.get(), 2));
    EXPECT_EQ(Count(reader.get()), 2u);
    auto all = ReadAll(reader.get(), EVENTLOG_FORWARDS_READ);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].source, "VtKindsSource");
    EXPECT_EQ(all[0].eventId, 1u);
    EXPECT_EQ(all[1].source, "VtKinds");
}

// Records as the NT 5 family handles them: stored with the SID right after the computer
// name, read in ANSI form with the SID on the next 4-byte boundary, after 1 to 4 zero
// bytes even where the computer name already ends on one.
TEST(Report, TheAnsiSidIsAlignedAfterAtLeastOneZeroByte) {
    const std::string computer = ComputerName();
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof sid;
    ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, sid, &sidSize));
    for (size_t end : {1, 0}) {
        // A source name that leaves the end of the computer name 'end' bytes past a boundary.
        std::string name = "VtSidPad";
        while ((sizeof(EVENTLOGRECORD) + name.size() + 1 + computer.size() + 1) % 4 != end) name += "x";
        const size_t names = sizeof(EVENTLOGRECORD) + name.size() + 1 + computer.size() + 1;
        TestLog log(name, 0x10000);
        EvHandle src(Api().RegisterEventSourceA(nullptr, name.c_str()));
        ASSERT_TRUE(Report(src.get(), 5, {"s"}, {}, sid));
        std::vector<BYTE> b(0x1000);
        DWORD read = 0, needed = 0;
        EvHandle h(Api().OpenEventLogA(nullptr, name.c_str()));
        ASSERT_TRUE(Api().ReadEventLogA(h.get(), EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ, 1, b.data(),
                                        DWORD(b.size()), &read, &needed));
        auto* r = reinterpret_cast<const EVENTLOGRECORD*>(b.data());
        EXPECT_EQ(r->UserSidOffset, names + 4 - end) << end;
        EXPECT_EQ(std::vector<BYTE>(b.begin() + names, b.begin() + r->UserSidOffset), std::vector<BYTE>(4 - end, 0));
        EXPECT_EQ(r->UserSidLength, sidSize);
        EXPECT_EQ(r->StringOffset, r->UserSidOffset + sidSize);
        ASSERT_EQ(Parse(b.data(), read).at(0).sid, std::vector<BYTE>(sid, sid + sidSize));
    }
}

// The platform's order of argument checks: output pointers and names before handles and
// computers; the counts of a failed read untouched unless it reports the size needed.
TEST(Arguments, PointersAndNamesAreCheckedFirstAndFailuresLeaveTheCountsAlone) {
    DWORD n = 0xDEADBEEF;
    EXPECT_FALSE(Api().GetNumberOfEventLogRecords(nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(Api().GetOldestEventLogRecord(nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(Api().GetNumberOfEventLogRecords(nullptr, &n));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(Api().GetOldestEventLogRecord(nullptr, &n));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(n, 0xDEADBEEFu);
    EXPECT_FALSE(Api().BackupEventLogA(nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Api().OpenEventLogA("\\\\NOSUCHHOST", nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Api().RegisterEventSourceA("\\\\NOSUCHHOST", nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Api().OpenBackupEventLogA("\\\\NOSUCHHOST", nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

    TestLog log("VtArgs", 0x10000);
    EvHandle src(Api().RegisterEventSourceA(nullptr, "VtArgs"));
    ASSERT_TRUE(Report(src.get(), 1, {std::string(100, 'a')}));
    EvHandle h(Api().OpenEventLogA(nullptr, "VtArgs"));
    std::vector<BYTE> b(0x1000);
    const DWORD forwards = EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ;
    // A read's own arguments (flags, buffer) come before the handle.
    struct Case {
        HANDLE handle;
        DWORD flags;
        BYTE* buffer;
        DWORD size;
        DWORD error;
    };
    const DWORD size = DWORD(b.size());
    for (const Case& c : {Case{nullptr, forwards, b.data(), size, ERROR_INVALID_HANDLE},
                          Case{h.get(), EVENTLOG_FORWARDS_READ, b.data(), size, ERROR_INVALID_PARAMETER},
                          Case{nullptr, 0, nullptr, 0, ERROR_INVALID_PARAMETER},
                          Case{nullptr, forwards, nullptr, 0, ERROR_INVALID_PARAMETER},
                          Case{nullptr, forwards, nullptr, sizeof(EVENTLOGRECORD), ERROR_INVALID_PARAMETER},
                          Case{src.get(), forwards | EVENTLOG_BACKWARDS_READ, b.data(), size, ERROR_INVALID_PARAMETER}}) {
        DWORD read = 0xDEADBEEF, needed = 0xDEADBEEF;
        EXPECT_FALSE(Api().ReadEventLogA(c.handle, c.flags, 0, c.buffer, c.size, &read, &needed));
        EXPECT_EQ(GetLastError(), c.error) << c.handle << " " << c.flags << " " << c.size;
        EXPECT_EQ(read, 0xDEADBEEFu);
        EXPECT_EQ(needed, 0xDEADBEEFu);
    }
    DWORD read = 0xDEADBEEF, needed = 0xDEADBEEF;
    EXPECT_FALSE(Api().ReadEventLogA(h.get(), forwards, 0, b.data(), sizeof(EVENTLOGRECORD), &read, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(read, 0u);
    EXPECT_GT(needed, 100u);
    ASSERT_TRUE(Api().ReadEventLogA(h.get(), forwards, 0, b.data(), DWORD(b.size()), &read, &needed));
    EXPECT_EQ(needed, 0u);
    read = needed = 0xDEADBEEF;
    EXPECT_FALSE(Api().ReadEventLogA(h.get(), forwards, 0, b.data(), DWORD(b.size()), &read, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_HANDLE_EOF));
    EXPECT_EQ(read, 0xDEADBEEFu);
    EXPECT_EQ(needed, 0xDEADBEEFu);
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

// One damaged record in the middle of the XP log: every other record still reads, in
// both directions, and only the damaged one fails (ERROR_EVENTLOG_FILE_CORRUPT).
TEST_F(Fixtures, ADamagedRecordCostsOnlyItself) {
    std::string copy = ScratchPath("SysEvent-damaged.Evt");
    ASSERT_TRUE(WriteDamagedCopy(Path("SysEvent-repaired.Evt"), copy, 4000));
    for (DWORD direction : {DWORD(EVENTLOG_FORWARDS_READ), DWORD(EVENTLOG_BACKWARDS_READ)}) {
        EvHandle h(Api().OpenBackupEventLogA(nullptr, copy.c_str()));
        ASSERT_TRUE(h) << GetLastError();
        std::vector<BYTE> b(0x10000);
        std::vector<DWORD> numbers;
        int damaged = 0;
        for (int calls = 0; calls < 10000; ++calls) {
            DWORD read = 0, needed = 0;
            if (!Api().ReadEventLogA(h.get(), EVENTLOG_SEQUENTIAL_READ | direction, 0, b.data(), DWORD(b.size()),
                                     &read, &needed)) {
                if (GetLastError() == ERROR_HANDLE_EOF) break;
                ASSERT_EQ(GetLastError(), DWORD(ERROR_EVENTLOG_FILE_CORRUPT));
                ++damaged;
                continue;
            }
            for (auto& r : Parse(b.data(), read)) numbers.push_back(r.number);
        }
        EXPECT_EQ(damaged, 1);
        ASSERT_EQ(numbers.size(), 6062u);
        EXPECT_EQ(std::count(numbers.begin(), numbers.end(), 4000u), 0);
        EXPECT_EQ(std::count(numbers.begin(), numbers.end(), 3999u), 1);
        EXPECT_EQ(std::count(numbers.begin(), numbers.end(), 4001u), 1);
        DWORD read = 0, needed = 0;
        EXPECT_FALSE(Api().ReadEventLogA(h.get(), EVENTLOG_SEEK_READ | direction, 4000, b.data(), DWORD(b.size()),
                                         &read, &needed));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_EVENTLOG_FILE_CORRUPT));
    }
    DeleteFileA(copy.c_str());
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

// A MaxSize lowered while nobody has the log open takes effect at the next open: the
// newest records that fit stay, in a file of the new size, and the log wraps within it.
TEST(Settings, LoweredMaxSizeTakesEffectWhenTheLogIsNextOpenedAfresh) {
    TestLog log("VtShrinkOpen", 0x40000);
    {
        EvHandle src(Api().RegisterEventSourceA(nullptr, "VtShrinkOpen"));
        for (int i = 1; i <= 2000; ++i) ASSERT_TRUE(Report(src.get(), DWORD(i), {std::string(150, 'o')}));
    }
    ASSERT_EQ(log.FileSize(), 0x40000u);
    log.SetMaxSize(0x10000);
    EvHandle h(Api().OpenEventLogA(nullptr, "VtShrinkOpen"));
    ASSERT_TRUE(h) << GetLastError();
    EXPECT_EQ(log.FileSize(), 0x10000u);
    DWORD count = Count(h.get());
    EXPECT_GT(count, 100u);
    EXPECT_LT(count * 200, 0x10000u);
    EXPECT_EQ(Oldest(h.get()) + count - 1, 2000u);
    auto all = ReadAll(h.get(), EVENTLOG_BACKWARDS_READ);
    ASSERT_EQ(all.size(), count);
    EXPECT_EQ(all.front().eventId, 2000u);
    EXPECT_EQ(all.back().number, Oldest(h.get()));
    EvHandle src(Api().RegisterEventSourceA(nullptr, "VtShrinkOpen"));
    for (int i = 2001; i <= 2500; ++i) ASSERT_TRUE(Report(src.get(), DWORD(i), {std::string(150, 'n')}));
    EXPECT_EQ(log.FileSize(), 0x10000u);
    EXPECT_EQ(Oldest(h.get()) + Count(h.get()) - 1, 2500u);
    EvHandle fresh(Api().OpenEventLogA(nullptr, "VtShrinkOpen"));
    EXPECT_EQ(ReadAll(fresh.get(), EVENTLOG_FORWARDS_READ).size(), Count(h.get()));
}

// A file left longer than its log (a shrink whose last step, cutting the file, never
// came: the process that held it up was killed) is read by its header's maximum size.
TEST(Settings, AFileLeftLongerThanItsLogIsReadByItsHeader) {
    TestLog log("VtLongFile", 0x10000);
    DWORD count = 0;
    {
        EvHandle src(Api().RegisterEventSourceA(nullptr, "VtLongFile"));
        for (int i = 1; i <= 1000; ++i) ASSERT_TRUE(Report(src.get(), DWORD(i), {std::string(150, 'w')}));
        count = Count(src.get());
        ASSERT_GT(Oldest(src.get()), 1u);  // wrapped
    }
    {
        FileHandle f(CreateFileA(log.FilePath().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(f);
        FILE_END_OF_FILE_INFO info;
        info.EndOfFile.QuadPart = 0x30000;
        ASSERT_TRUE(SetFileInformationByHandle(f.get(), FileEndOfFileInfo, &info, sizeof info));
    }
    EvHandle h(Api().OpenEventLogA(nullptr, "VtLongFile"));
    ASSERT_TRUE(h) << GetLastError();
    EXPECT_EQ(log.FileSize(), 0x10000u);
    EXPECT_EQ(Count(h.get()), count);
    auto all = ReadAll(h.get(), EVENTLOG_BACKWARDS_READ);
    ASSERT_EQ(all.size(), count);
    EXPECT_EQ(all.front().eventId, 1000u);
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
