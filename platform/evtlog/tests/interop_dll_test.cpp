// A backup written by vteventlog.dll, for evtexport: the ctest evtlog_backup_evtexport
// compares evtexport's listing of it with the listing written here from what
// ReadEventLogA returns.
#include <gtest/gtest.h>

#include <fstream>

#include "dll_support.h"
#include "platform/evtlog/core/evt_listing.h"

namespace vantrel::evtlog::test {
namespace {

std::u16string FromAnsi(const char* s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    std::wstring w(size_t(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s, -1, w.data(), n);
    w.resize(w.size() - 1);
    return std::u16string(w.begin(), w.end());
}

// The records of a ReadEventLogA buffer as the format core's events.
std::vector<evt::Event> Events(const BYTE* b, DWORD bytes) {
    std::vector<evt::Event> out;
    for (DWORD at = 0; at < bytes;) {
        auto* r = reinterpret_cast<const EVENTLOGRECORD*>(b + at);
        const BYTE* p = b + at;
        evt::Event e;
        e.recordNumber = r->RecordNumber;
        e.timeGenerated = r->TimeGenerated;
        e.timeWritten = r->TimeWritten;
        e.eventId = r->EventID;
        e.eventType = r->EventType;
        e.category = r->EventCategory;
        const char* source = reinterpret_cast<const char*>(p + sizeof(EVENTLOGRECORD));
        e.source = FromAnsi(source);
        e.computer = FromAnsi(source + strlen(source) + 1);
        e.sid.assign(p + r->UserSidOffset, p + r->UserSidOffset + r->UserSidLength);
        const char* s = reinterpret_cast<const char*>(p + r->StringOffset);
        for (WORD i = 0; i < r->NumStrings; ++i, s += strlen(s) + 1) e.strings.push_back(FromAnsi(s));
        out.push_back(std::move(e));
        at += r->Length;
    }
    return out;
}

TEST(Interop, BackupAndItsListingForEvtexport) {
    TestLog log("VtInterop", 0x10000);
    HANDLE src = Api().RegisterEventSourceA(nullptr, "VtInterop");
    ASSERT_TRUE(src);
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof sid;
    ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, sid, &sidSize));
    // Enough to wrap the 64 KiB log, with every kind of field.
    for (int i = 0; i < 600; ++i) {
        std::vector<std::string> strings;
        for (int k = 0; k < i % 4; ++k) strings.push_back("caf\xe9 " + std::to_string(i) + "/" + std::to_string(k));
        std::vector<LPCSTR> p;
        for (auto& s : strings) p.push_back(s.c_str());
        std::vector<BYTE> data(size_t(i % 9), BYTE(i));
        WORD type = WORD(1 << (i % 5));
        ASSERT_TRUE(Api().ReportEventA(src, type, WORD(i % 3), 0x40000000u + DWORD(i), i % 2 ? sid : nullptr,
                                       WORD(p.size()), DWORD(data.size()), p.empty() ? nullptr : p.data(),
                                       data.empty() ? nullptr : data.data()));
    }
    Api().DeregisterEventSource(src);
    std::string backup = ScratchPath("evtexport-backup.evt");
    HANDLE h = Api().OpenEventLogA(nullptr, "VtInterop");
    ASSERT_TRUE(Api().BackupEventLogA(h, backup.c_str()));
    Api().CloseEventLog(h);

    HANDLE b = Api().OpenBackupEventLogA(nullptr, backup.c_str());
    ASSERT_TRUE(b);
    std::string listing;
    std::vector<BYTE> buffer(0x10000);
    for (;;) {
        DWORD read = 0, needed = 0;
        if (!Api().ReadEventLogA(b, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ, 0, buffer.data(),
                                 DWORD(buffer.size()), &read, &needed))
            break;
        for (const auto& e : Events(buffer.data(), read)) listing += evt::ListEvent(e);
    }
    EXPECT_EQ(GetLastError(), DWORD(ERROR_HANDLE_EOF));
    Api().CloseEventLog(b);
    EXPECT_GT(listing.size(), 10000u);
    std::ofstream(ScratchPath("evtexport-expected.txt"), std::ios::binary) << listing;
}

}  // namespace
}  // namespace vantrel::evtlog::test
