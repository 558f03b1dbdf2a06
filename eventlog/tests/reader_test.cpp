// EventLog and EventLogBackup against real logs of the event-log substitute: reading in
// both directions through the cache, the 1503 retry, clearing, backups, privileges and
// the record collection with its enumerator.
#include <gtest/gtest.h>

#include "client_support.h"

namespace {

class Reader : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(log_.Clear());
        for (DWORD i = 1; i <= 5; ++i) ASSERT_TRUE(log_.Write(1000 + i, {"text " + std::to_string(i)}));
        el_ = Create<IEventLog>(L"Lorvex.EventLog");
        ASSERT_TRUE(el_);
        el_->put_SourceName(vantrel::Bstr(log_.wide_name()).get());
    }
    long EventIdOf(long n) { return ::EventIdOf(el_.Get(), n); }
    ComApartment apartment_;
    TestLog log_{"VtReaderTest"};
    ComPtr<IEventLog> el_;
};

TEST_F(Reader, ReadsRecordsForwardsBackwardsAndWithAnyCacheSize) {
    long oldest = 0, count = 0;
    ASSERT_EQ(el_->get_OldestRecordNumber(&oldest), S_OK);
    ASSERT_EQ(el_->get_RecordCount(&count), S_OK);
    EXPECT_EQ(oldest, 1);
    EXPECT_EQ(count, 5);
    for (long n = 1; n <= 5; ++n) EXPECT_EQ(EventIdOf(n), 1000 + n);
    for (long n = 5; n >= 1; --n) EXPECT_EQ(EventIdOf(n), 1000 + n);  // below the buffer: filled backwards
    EXPECT_EQ(EventIdOf(3), 1003);

    for (long size : {0L, 60L, 100000L}) {
        el_->put_CacheSize(size);
        long got = -1;
        el_->get_CacheSize(&got);
        EXPECT_EQ(got, size);
        EXPECT_EQ(EventIdOf(4), 1004) << "cache size " << size;
        EXPECT_EQ(EventIdOf(2), 1002) << "cache size " << size;
    }

    ComPtr<IEventLogRecord> r;
    ASSERT_EQ(el_->ReadRecord(3, &r), S_OK);
    vantrel::Bstr text;
    r->get_SourceName(text.put());
    EXPECT_EQ(text.str(), log_.wide_name());
    r->get_EventType(text.put());
    EXPECT_EQ(text.str(), L"Error");
    vantrel::Variant strings;
    r->get_Strings(strings.put());
    ASSERT_EQ(strings->vt, VT_ARRAY | VT_VARIANT);

    EXPECT_TRUE(FAILED(el_->ReadRecord(6, &r)));
    EXPECT_TRUE(StartsWith(ErrorText(), L"Error reading event log - "));
    EXPECT_TRUE(FAILED(el_->ReadRecord(0, &r)));
}

TEST_F(Reader, ClearedAndRefilledLogIsReadAfresh) {
    el_->put_CacheSize(0x10000);
    // Reading upwards from 1 fills the buffer with 1..5; 3 and 5 come from it.
    EXPECT_EQ(EventIdOf(1), 1001);
    EXPECT_EQ(EventIdOf(3), 1003);
    EXPECT_EQ(EventIdOf(5), 1005);
    // Another writer clears the log and writes fewer records: the buffered numbers now lie
    // beyond the log, and this handle was opened before the clear (1503 on its next read).
    ASSERT_TRUE(log_.Clear());
    for (DWORD i = 1; i <= 3; ++i) ASSERT_TRUE(log_.Write(2000 + i));
    EXPECT_EQ(EventIdOf(3), 2003);
    EXPECT_EQ(EventIdOf(1), 2001);
    ComPtr<IEventLogRecord> gone;
    EXPECT_TRUE(FAILED(el_->ReadRecord(5, &gone)));
    long count = 0;
    el_->get_RecordCount(&count);
    EXPECT_EQ(count, 3);
}

TEST_F(Reader, ClearBacksUpOnlyForANonEmptyString) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring backup = std::wstring(temp) + L"vt_reader_backup.evt";
    ::DeleteFileW(backup.c_str());

    VARIANT missing;
    missing.vt = VT_ERROR;
    missing.scode = DISP_E_PARAMNOTFOUND;
    VARIANT number;
    number.vt = VT_I4;
    number.lVal = 7;
    vantrel::Bstr empty(L"");
    VARIANT empty_string;
    empty_string.vt = VT_BSTR;
    empty_string.bstrVal = empty.get();
    for (VARIANT* arg : {&missing, &number, &empty_string}) {
        ASSERT_TRUE(log_.Write(1));
        ASSERT_EQ(el_->Clear(*arg), S_OK);
        long count = -1;
        el_->get_RecordCount(&count);
        EXPECT_EQ(count, 0);
    }
    EXPECT_EQ(::GetFileAttributesW(backup.c_str()), INVALID_FILE_ATTRIBUTES);

    // A name passed by reference, the way a script passes a variable.
    ASSERT_TRUE(log_.Write(77, {"kept"}));
    vantrel::Bstr name(backup);
    VARIANT inner;
    inner.vt = VT_BSTR;
    inner.bstrVal = name.get();
    VARIANT byref;
    byref.vt = VT_BYREF | VT_VARIANT;
    byref.pvarVal = &inner;
    ASSERT_EQ(el_->Clear(byref), S_OK);
    ASSERT_NE(::GetFileAttributesW(backup.c_str()), INVALID_FILE_ATTRIBUTES);

    auto reader = Create<IEventLogBackup>(L"Lorvex.EventLogBackup");
    ASSERT_TRUE(reader);
    reader->put_FileName(name.get());
    long count = 0;
    ASSERT_EQ(reader->get_RecordCount(&count), S_OK);
    EXPECT_EQ(count, 1);
    ComPtr<IEventLogRecord> r;
    long oldest = 0;
    reader->get_OldestRecordNumber(&oldest);
    ASSERT_EQ(reader->ReadRecord(oldest, &r), S_OK);
    long id = 0;
    r->get_EventId(&id);
    EXPECT_EQ(id, 77);
    reader.Reset();

    // Backing up onto an existing file fails with the system's reason.
    EXPECT_TRUE(FAILED(el_->Backup(name.get())));
    EXPECT_TRUE(StartsWith(ErrorText(), L"Error backing up event log - "));
    ::DeleteFileW(backup.c_str());
}

TEST_F(Reader, BackupReadsTheSameRecordsAsTheLogHad) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring file = std::wstring(temp) + L"vt_reader_copy.evt";
    ::DeleteFileW(file.c_str());
    ASSERT_EQ(el_->Backup(vantrel::Bstr(file).get()), S_OK);
    ASSERT_TRUE(log_.Write(9999));  // after the backup: not in it

    auto backup = Create<IEventLogBackup>(L"Lorvex.EventLogBackup");
    ComPtr<IEventLogRecord> r;
    EXPECT_TRUE(FAILED(backup->ReadRecord(1, &r)));  // no file name yet
    EXPECT_TRUE(StartsWith(ErrorText(), L"Error opening backup event log - "));
    backup->put_FileName(vantrel::Bstr(file).get());
    long oldest = 0, count = 0;
    backup->get_OldestRecordNumber(&oldest);
    backup->get_RecordCount(&count);
    EXPECT_EQ(oldest, 1);
    EXPECT_EQ(count, 5);
    for (long n = 1; n <= 5; ++n) {
        ASSERT_EQ(backup->ReadRecord(n, &r), S_OK);
        long id = 0;
        r->get_EventId(&id);
        EXPECT_EQ(id, 1000 + n);
    }
    // A second backup of an open backup file writes a copy of it.
    const std::wstring copy = std::wstring(temp) + L"vt_reader_copy2.evt";
    ::DeleteFileW(copy.c_str());
    EXPECT_EQ(backup->Backup(vantrel::Bstr(copy).get()), S_OK);
    backup->put_FileName(vantrel::Bstr(copy).get());
    backup->get_RecordCount(&count);
    EXPECT_EQ(count, 5);
    backup.Reset();
    ::DeleteFileW(file.c_str());
    ::DeleteFileW(copy.c_str());
}

bool SecurityPrivilegeEnabled() {
    vantrel::Handle token;
    ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put());
    LUID luid;
    ::LookupPrivilegeValueA(nullptr, "SeSecurityPrivilege", &luid);
    PRIVILEGE_SET set{1, PRIVILEGE_SET_ALL_NECESSARY, {{luid, 0}}};
    BOOL enabled = FALSE;
    ::PrivilegeCheck(token.get(), &set, &enabled);
    return enabled != FALSE;
}

TEST_F(Reader, SecurityLogEnablesItsPrivilegeAndRestoresItOnClose) {
    ASSERT_FALSE(SecurityPrivilegeEnabled());
    el_->put_SourceName(vantrel::Bstr(L"security").get());
    long count = -1;
    EXPECT_EQ(el_->get_RecordCount(&count), S_OK);
    EXPECT_TRUE(SecurityPrivilegeEnabled());
    el_->put_SourceName(vantrel::Bstr(log_.wide_name()).get());  // closes the Security log
    EXPECT_FALSE(SecurityPrivilegeEnabled());
}

TEST_F(Reader, CollectionIndexesFromTheBaseAndEnumerates) {
    vantrel::Variant v;
    ASSERT_EQ(el_->EventLogRecords(v.put()), S_OK);
    ASSERT_EQ(v->vt, VT_DISPATCH);
    ComPtr<IEventLogRecordCollection> collection;
    ASSERT_EQ(v->pdispVal->QueryInterface(IID_IEventLogRecordCollection, reinterpret_cast<void**>(collection.GetAddressOf())), S_OK);
    long count = 0;
    collection->get_Count(&count);
    EXPECT_EQ(count, 5);
    vantrel::Variant item;
    ASSERT_EQ(collection->get_Item(1, item.put()), S_OK);
    ComPtr<IEventLogRecord> r;
    item->pdispVal->QueryInterface(IID_IEventLogRecord, reinterpret_cast<void**>(r.GetAddressOf()));
    long number = 0;
    r->get_RecordNumber(&number);
    EXPECT_EQ(number, 1);
    EXPECT_TRUE(FAILED(collection->get_Item(0, item.put())));
    EXPECT_TRUE(StartsWith(ErrorText(), L"Error reading event log - "));

    ComPtr<IUnknown> unknown;
    ASSERT_EQ(collection->get__NewEnum(&unknown), S_OK);
    ComPtr<IEnumVARIANT> e;
    ASSERT_EQ(unknown.As(&e), S_OK);
    VARIANT items[10];
    ULONG fetched = 99;
    EXPECT_EQ(e->Skip(5), S_OK);
    EXPECT_EQ(e->Next(1, items, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    e->Reset();
    EXPECT_EQ(e->Skip(7), S_FALSE);
    e->Reset();
    EXPECT_EQ(e->Skip(2), S_OK);
    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(e->Clone(&clone), S_OK);
    EXPECT_EQ(e->Next(10, items, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 3u);
    for (ULONG i = 0; i < fetched; ++i) {
        ComPtr<IEventLogRecord> rec;
        items[i].pdispVal->QueryInterface(IID_IEventLogRecord, reinterpret_cast<void**>(rec.GetAddressOf()));
        rec->get_RecordNumber(&number);
        EXPECT_EQ(number, static_cast<long>(3 + i));
        ::VariantClear(&items[i]);
    }
    // The clone goes on from where it was taken, on its own.
    EXPECT_EQ(clone->Next(1, items, &fetched), S_OK);
    ComPtr<IEventLogRecord> rec;
    items[0].pdispVal->QueryInterface(IID_IEventLogRecord, reinterpret_cast<void**>(rec.GetAddressOf()));
    rec->get_RecordNumber(&number);
    EXPECT_EQ(number, 3);
    ::VariantClear(&items[0]);
}

TEST_F(Reader, SettersKeepWhatTheyAreGiven) {
    long v = 0;
    for (auto [given, stored] : {std::pair{100L, 500L}, {-1L, 500L}, {500L, 500L}, {501L, 501L}}) {
        el_->put_ChangeCheckInterval(given);
        el_->get_ChangeCheckInterval(&v);
        EXPECT_EQ(v, stored);
    }
    LORVEX_MSG_FILE_SEARCH_ORDER order;
    el_->put_MessageFileSearchOrder(static_cast<LORVEX_MSG_FILE_SEARCH_ORDER>(9));
    el_->get_MessageFileSearchOrder(&order);
    EXPECT_EQ(order, 9);
    vantrel::Bstr name;
    auto fresh = Create<IEventLog>(L"Lorvex.EventLog");
    fresh->get_SourceName(name.put());
    EXPECT_EQ(name.length(), 0u);
    fresh->get_CacheSize(&v);
    EXPECT_EQ(v, 4096);
}

}  // namespace

namespace {

TEST(Fixture, ADirtyCopyOfALiveLogIsRefused) {
    ComApartment apartment;
    const std::string path = FIXTURES_DIR "\\SysEvent.Evt";
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no fixtures beside the checkout";
    auto backup = Create<IEventLogBackup>(L"Lorvex.EventLogBackup");
    backup->put_FileName(vantrel::Bstr(std::wstring(path.begin(), path.end())).get());
    long count = 0;
    EXPECT_EQ(static_cast<uint32_t>(backup->get_RecordCount(&count)), 0x800705DCu);  // ERROR_EVENTLOG_FILE_CORRUPT
    EXPECT_TRUE(StartsWith(ErrorText(), L"Error opening backup event log - "));
}

}  // namespace
