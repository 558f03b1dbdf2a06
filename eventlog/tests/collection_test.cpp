// The record collection of readers whose oldest record is not 1: the real XP log of the
// fixtures (1392 to 7454) and a live log that has wrapped.
#include <gtest/gtest.h>

#include "client_support.h"

namespace {

template <class Reader>
ComPtr<IEventLogRecordCollection> Collection(Reader* reader) {
    vantrel::Variant v;
    ComPtr<IEventLogRecordCollection> collection;
    if (FAILED(reader->EventLogRecords(v.put())) || v->vt != VT_DISPATCH) return collection;
    v->pdispVal->QueryInterface(IID_IEventLogRecordCollection, reinterpret_cast<void**>(collection.GetAddressOf()));
    return collection;
}

long NumberOf(const VARIANT& item) {
    ComPtr<IEventLogRecord> r;
    if (item.vt != VT_DISPATCH || !item.pdispVal ||
        FAILED(item.pdispVal->QueryInterface(IID_IEventLogRecord, reinterpret_cast<void**>(r.GetAddressOf()))))
        return -1;
    long n = -1;
    r->get_RecordNumber(&n);
    return n;
}

// Item(index)'s record number, or -1 when it fails.
long ItemNumber(IEventLogRecordCollection* c, long index) {
    vantrel::Variant item;
    if (FAILED(c->get_Item(index, item.put()))) return -1;
    return NumberOf(*item.get());
}

// The record numbers a for-each loop sees, the way a script engine walks: Next in steps.
std::vector<long> ForEach(IEventLogRecordCollection* c, HRESULT* last = nullptr) {
    std::vector<long> numbers;
    ComPtr<IUnknown> unknown;
    ComPtr<IEnumVARIANT> e;
    if (FAILED(c->get__NewEnum(&unknown)) || FAILED(unknown.As(&e))) return numbers;
    for (;;) {
        VARIANT items[64];
        ULONG fetched = 0;
        HRESULT hr = e->Next(64, items, &fetched);
        if (last) *last = hr;
        if (FAILED(hr)) break;
        for (ULONG i = 0; i < fetched; ++i) {
            numbers.push_back(NumberOf(items[i]));
            ::VariantClear(&items[i]);
        }
        if (hr != S_OK) break;
    }
    return numbers;
}

bool Consecutive(const std::vector<long>& numbers, long first, long count) {
    if (numbers.size() != static_cast<size_t>(count)) return false;
    for (long i = 0; i < count; ++i)
        if (numbers[i] != first + i) return false;
    return true;
}

TEST(Collection, OfTheFixtureStartsAtItsOldestRecord) {
    ComApartment apartment;
    const std::string path = FIXTURES_DIR "\\SysEvent-repaired.Evt";
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no fixtures beside the checkout";
    auto backup = Create<IEventLogBackup>(L"Lorvex.EventLogBackup");
    ASSERT_TRUE(backup);
    backup->put_FileName(vantrel::Bstr(std::wstring(path.begin(), path.end())).get());
    long oldest = 0, count = 0;
    ASSERT_EQ(backup->get_OldestRecordNumber(&oldest), S_OK);
    ASSERT_EQ(backup->get_RecordCount(&count), S_OK);
    ASSERT_EQ(oldest, 1392);
    ASSERT_EQ(count, 6063);

    auto collection = Collection(backup.Get());
    ASSERT_TRUE(collection);
    long n = 0;
    EXPECT_EQ(collection->get_Count(&n), S_OK);
    EXPECT_EQ(n, 6063);
    EXPECT_EQ(ItemNumber(collection.Get(), 1), 1392);
    EXPECT_EQ(ItemNumber(collection.Get(), 2), 1393);
    EXPECT_EQ(ItemNumber(collection.Get(), 6063), 7454);
    EXPECT_EQ(ItemNumber(collection.Get(), 6064), -1);
    EXPECT_TRUE(StartsWith(ErrorText(), L"Error reading event log - "));
    EXPECT_EQ(ItemNumber(collection.Get(), 0), -1);

    HRESULT last = E_FAIL;
    const auto seen = ForEach(collection.Get(), &last);
    EXPECT_EQ(last, S_FALSE);
    EXPECT_TRUE(Consecutive(seen, 1392, 6063)) << seen.size() << " records from " << (seen.empty() ? 0 : seen[0]);
}

class WrappedLog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(log_.Clear());
        // Write until the oldest records have been overwritten.
        for (int i = 0; i < 5000 && Oldest() <= 1; ++i) ASSERT_TRUE(log_.Write(i, {std::string(200, 'w')}));
        ASSERT_GT(Oldest(), 1u) << "the log did not wrap";
        el_ = Create<IEventLog>(L"Lorvex.EventLog");
        ASSERT_TRUE(el_);
        el_->put_SourceName(vantrel::Bstr(log_.wide_name()).get());
    }
    DWORD Oldest() {
        const auto& api = vantrel::evtapi::Get();
        HANDLE h = api.OpenEventLogA(nullptr, log_.name().c_str());
        DWORD oldest = 0;
        if (h) api.GetOldestEventLogRecord(h, &oldest);
        if (h) api.CloseEventLog(h);
        return oldest;
    }
    ComApartment apartment_;
    // The smallest log the platform keeps: a few hundred records fill it.
    TestLog log_{"VtWrappedLog", 0x10000};
    ComPtr<IEventLog> el_;
};

TEST_F(WrappedLog, CollectionIndexesFromTheOldestAndEnumeratesInOrder) {
    long oldest = 0, count = 0;
    ASSERT_EQ(el_->get_OldestRecordNumber(&oldest), S_OK);
    ASSERT_EQ(el_->get_RecordCount(&count), S_OK);
    ASSERT_GT(oldest, 1);
    auto collection = Collection(el_.Get());
    ASSERT_TRUE(collection);
    EXPECT_EQ(ItemNumber(collection.Get(), 1), oldest);
    EXPECT_EQ(ItemNumber(collection.Get(), count), oldest + count - 1);
    EXPECT_EQ(ItemNumber(collection.Get(), count + 1), -1);
    HRESULT last = E_FAIL;
    const auto seen = ForEach(collection.Get(), &last);
    EXPECT_EQ(last, S_FALSE);
    EXPECT_TRUE(Consecutive(seen, oldest, count)) << seen.size() << " records from " << (seen.empty() ? 0 : seen[0]);
}

TEST_F(WrappedLog, AfterTheLogMovesOnCountIsCurrentAndItemKeepsItsBase) {
    long oldest = 0, count = 0;
    el_->get_OldestRecordNumber(&oldest);
    el_->get_RecordCount(&count);
    auto collection = Collection(el_.Get());
    ASSERT_TRUE(collection);
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(collection->get__NewEnum(&unknown), S_OK);
    ComPtr<IEnumVARIANT> e;
    ASSERT_EQ(unknown.As(&e), S_OK);

    // The log overwrites every record the collection knew and one record is added.
    for (long i = 0; i <= count; ++i) ASSERT_TRUE(log_.Write(9000, {std::string(200, 'n')}));
    long now_oldest = 0, now_count = 0;
    ASSERT_EQ(el_->get_OldestRecordNumber(&now_oldest), S_OK);
    ASSERT_EQ(el_->get_RecordCount(&now_count), S_OK);
    ASSERT_GE(now_oldest, oldest + count);

    long n = 0;
    EXPECT_EQ(collection->get_Count(&n), S_OK);
    EXPECT_EQ(n, now_count);
    // Item still counts from the base taken when the collection was made.
    EXPECT_EQ(ItemNumber(collection.Get(), 1), -1);
    EXPECT_TRUE(StartsWith(ErrorText(), L"Error reading event log - "));
    const long newest = now_oldest + now_count - 1;
    EXPECT_EQ(ItemNumber(collection.Get(), newest - oldest + 1), newest);

    // The enumerator made before still walks the old numbers: gone now.
    VARIANT item;
    ULONG fetched = 77;
    EXPECT_TRUE(FAILED(e->Next(1, &item, &fetched)));
    EXPECT_EQ(fetched, 77u);
    // A new one walks the log as it is now.
    EXPECT_TRUE(Consecutive(ForEach(collection.Get()), now_oldest, now_count));
}

}  // namespace
