// Lorvex reading a log with one damaged record: the cache keeps every good neighbour, so
// walking the collection loses only the damaged record itself.
#include <gtest/gtest.h>

#include "client_support.h"
#include "platform/evtlog/tests/damaged_copy.h"

namespace {

TEST(DamagedLog, TheEnumeratorLosesOnlyTheDamagedRecord) {
    ComApartment apartment;
    const std::string fixture = FIXTURES_DIR "\\SysEvent-repaired.Evt";
    if (::GetFileAttributesA(fixture.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no fixtures beside the checkout";
    const std::string copy = SCRATCH_DIR "\\SysEvent-damaged.Evt";
    ASSERT_TRUE(vantrel::evtlog::test::WriteDamagedCopy(fixture, copy, 4000));

    auto backup = Create<IEventLogBackup>(L"Lorvex.EventLogBackup");
    ASSERT_TRUE(backup);
    ASSERT_EQ(backup->put_FileName(vantrel::Bstr(std::wstring(copy.begin(), copy.end())).get()), S_OK);
    vantrel::Variant collection;
    ASSERT_EQ(backup->EventLogRecords(collection.put()), S_OK);
    ASSERT_EQ(collection->vt, VT_DISPATCH);
    ComPtr<IEventLogRecordCollection> records;
    ASSERT_EQ(collection->pdispVal->QueryInterface(IID_PPV_ARGS(&records)), S_OK);
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(records->get__NewEnum(&unknown), S_OK);
    ComPtr<IEnumVARIANT> walk;
    ASSERT_EQ(unknown.As(&walk), S_OK);

    long good = 0, damaged = 0, last = 0;
    for (int step = 0; step < 7000; ++step) {
        vantrel::Variant v;
        ULONG fetched = 0;
        HRESULT hr = walk->Next(1, v.put(), &fetched);
        if (hr == S_FALSE) break;
        if (FAILED(hr)) {
            // The damaged record: ERROR_EVENTLOG_FILE_CORRUPT, and the walk goes on after it.
            EXPECT_EQ(static_cast<uint32_t>(hr), 0x800705DCu);
            EXPECT_EQ(last, 3999);
            ++damaged;
            walk->Skip(1);
            continue;
        }
        ComPtr<IEventLogRecord> record;
        ASSERT_EQ(v->pdispVal->QueryInterface(IID_PPV_ARGS(&record)), S_OK);
        long number = 0;
        record->get_RecordNumber(&number);
        EXPECT_EQ(number, last ? (last == 3999 ? 4001 : last + 1) : 1392);
        last = number;
        ++good;
    }
    EXPECT_EQ(good, 6062);
    EXPECT_EQ(damaged, 1);
    EXPECT_EQ(last, 7454);

    // By number, too: the neighbours on either side read, the damaged one fails.
    ComPtr<IEventLogRecord> r;
    for (long n : {4001L, 3999L, 3990L, 4010L}) EXPECT_EQ(backup->ReadRecord(n, &r), S_OK) << n;
    EXPECT_EQ(static_cast<uint32_t>(backup->ReadRecord(4000, &r)), 0x800705DCu);
    EXPECT_TRUE(StartsWith(ErrorText(), L"Error reading event log - "));
    backup.Reset();
    ::DeleteFileA(copy.c_str());
}

}  // namespace
