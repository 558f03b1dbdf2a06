// The reader's read cache as the event log sees it: the reads that reach the event-log
// functions, with their direction, offset and size, and how many there are.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "classes.h"
#include "client_support.h"
#include "platform/evtlog/evtapi_recorder.h"

namespace {

using vantrel::evtapi::RecordedCall;
using vantrel::evtapi::Recorder;

constexpr DWORD kForwards = EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ;
constexpr DWORD kBackwards = EVENTLOG_SEEK_READ | EVENTLOG_BACKWARDS_READ;

struct Read {
    DWORD flags, offset, size;
    bool operator==(const Read& o) const { return flags == o.flags && offset == o.offset && size == o.size; }
};
std::ostream& operator<<(std::ostream& out, const Read& r) {
    return out << (r.flags == kForwards ? "forwards" : r.flags == kBackwards ? "backwards" : "flags?") << " from "
               << r.offset << ", " << r.size << " bytes";
}

std::vector<Read> ReadsOf(const Recorder& recorder) {
    std::vector<Read> reads;
    for (const RecordedCall& c : recorder.CallsOf("ReadEventLogA")) reads.push_back({c.flags, c.offset, c.size});
    return reads;
}

// Every event-log function as it is, except ReadEventLogA, which `read` answers for as long
// as this lives; `read` may pass the call on to the functions that were in use.
class ReplacedRead {
public:
    using Read = std::function<BOOL(const vantrel::evtapi::Functions& next, HANDLE log, DWORD flags, DWORD offset,
                                    BYTE* buffer, DWORD size, DWORD* read, DWORD* needed)>;
    explicit ReplacedRead(Read read) : next_(vantrel::evtapi::Get()), functions_(next_), read_(std::move(read)) {
        functions_.ReadEventLogA = &Answer;
        active_ = this;
        vantrel::evtapi::SetReplacement(&functions_);
    }
    ~ReplacedRead() {
        vantrel::evtapi::SetReplacement(nullptr);
        active_ = nullptr;
    }
    ReplacedRead(const ReplacedRead&) = delete;
    ReplacedRead& operator=(const ReplacedRead&) = delete;

private:
    static BOOL WINAPI Answer(HANDLE log, DWORD flags, DWORD offset, void* buffer, DWORD size, DWORD* read,
                              DWORD* needed) {
        return active_->read_(active_->next_, log, flags, offset, static_cast<BYTE*>(buffer), size, read, needed);
    }
    static inline ReplacedRead* active_ = nullptr;
    vantrel::evtapi::Functions next_;
    vantrel::evtapi::Functions functions_;
    Read read_;
};

DWORD U32At(const BYTE* p) { return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24; }

class ReadCache : public ::testing::Test {
protected:
    static constexpr DWORD kRecords = 9;

    void SetUp() override {
        ASSERT_TRUE(log_.Clear());
        // Records of one size, so that a cache size is a number of records.
        for (DWORD i = 1; i <= kRecords; ++i) ASSERT_TRUE(log_.Write(1000 + i, {"text " + std::to_string(i)}));
        record_size_ = RecordSize();
        ASSERT_GT(record_size_, 0u);
        // The classes linked into this test reach the log through this process's switch.
        ASSERT_EQ(lorvex::CreateEventLog(IID_IEventLog, reinterpret_cast<void**>(el_.GetAddressOf())), S_OK);
        el_->put_SourceName(vantrel::Bstr(log_.wide_name()).get());
    }

    // The size of each record, read straight from the log (all have the same size).
    DWORD RecordSize() {
        const auto& api = vantrel::evtapi::Get();
        HANDLE h = api.OpenEventLogA(nullptr, log_.name().c_str());
        if (!h) return 0;
        std::vector<BYTE> buffer(0x10000);
        DWORD read = 0, needed = 0;
        BOOL ok = api.ReadEventLogA(h, kForwards, 1, buffer.data(), static_cast<DWORD>(buffer.size()), &read, &needed);
        api.CloseEventLog(h);
        if (!ok || read < 4) return 0;
        const DWORD size = *reinterpret_cast<DWORD*>(buffer.data());
        return read == size * kRecords ? size : 0;
    }

    long EventIdOf(long n) { return ::EventIdOf(el_.Get(), n); }

    ComApartment apartment_;
    TestLog log_{"VtReadCacheTest"};
    DWORD record_size_ = 0;
    ComPtr<IEventLog> el_;
};

TEST_F(ReadCache, ReadingUpwardsFillsForwardsOnceAndServesTheRestFromTheBuffer) {
    el_->put_CacheSize(0x10000);
    Recorder recorder;
    for (long n = 1; n <= long(kRecords); ++n) EXPECT_EQ(EventIdOf(n), 1000 + n);

    EXPECT_EQ(ReadsOf(recorder), (std::vector<Read>{{kForwards, 1, 0x10000}}));
    ASSERT_EQ(recorder.CallsOf("ReadEventLogA").size(), 1u);
    EXPECT_EQ(recorder.CallsOf("ReadEventLogA")[0].read, kRecords * record_size_);
    // Each record served from the buffer was proven to be still in the log.
    EXPECT_EQ(recorder.CallsOf("GetOldestEventLogRecord").size(), kRecords);
    EXPECT_EQ(recorder.CallsOf("GetNumberOfEventLogRecords").size(), kRecords);
}

TEST_F(ReadCache, ReadingDownwardsBelowTheBufferFillsBackwardsFromTheRequestedNumber) {
    const DWORD three = 3 * record_size_;
    el_->put_CacheSize(static_cast<long>(three));
    Recorder recorder;
    // 7 fills 7..9; 6 lies below the buffer: 6, 5, 4 backwards; 3 again below: 3, 2, 1.
    for (long n : {7, 6, 5, 4, 3, 2, 1}) EXPECT_EQ(EventIdOf(n), 1000 + n) << n;
    // 8 lies above a backward buffer: forwards again.
    EXPECT_EQ(EventIdOf(8), 1008);
    EXPECT_EQ(ReadsOf(recorder),
              (std::vector<Read>{{kForwards, 7, three}, {kBackwards, 6, three}, {kBackwards, 3, three},
                                 {kForwards, 8, three}}));
    // Each fill returned as many whole records as fit, up to the end of the log.
    std::vector<DWORD> returned;
    for (const RecordedCall& c : recorder.CallsOf("ReadEventLogA")) returned.push_back(c.read);
    EXPECT_EQ(returned, (std::vector<DWORD>{three, three, three, 2 * record_size_}));
}

TEST_F(ReadCache, ARecordLargerThanTheCacheIsReadAtItsExactSize) {
    // Each fill first asks for the nominal size, fails with 122 and reads again at the
    // size the log says it needs. Size 0 does that for every call, even for the record
    // just read; a nominal size just below a record serves that record from the buffer,
    // and the next fill asks for the nominal size again.
    for (DWORD nominal : {DWORD(0), record_size_ - 1}) {
        el_->put_CacheSize(static_cast<long>(nominal));
        Recorder recorder;
        EXPECT_EQ(EventIdOf(2), 1002);
        EXPECT_EQ(EventIdOf(2), 1002);
        EXPECT_EQ(EventIdOf(5), 1005);
        std::vector<Read> expected{{kForwards, 2, nominal}, {kForwards, 2, record_size_}};
        if (nominal == 0) expected.insert(expected.end(), {{kForwards, 2, 0}, {kForwards, 2, record_size_}});
        expected.insert(expected.end(), {{kForwards, 5, nominal}, {kForwards, 5, record_size_}});
        EXPECT_EQ(ReadsOf(recorder), expected) << "cache size " << nominal;
        const auto calls = recorder.CallsOf("ReadEventLogA");
        for (size_t i = 0; i + 1 < calls.size(); i += 2) {
            EXPECT_FALSE(calls[i].ok);
            EXPECT_EQ(calls[i].error, DWORD(ERROR_INSUFFICIENT_BUFFER));
            EXPECT_EQ(calls[i].needed, record_size_);
            EXPECT_TRUE(calls[i + 1].ok);
            EXPECT_EQ(calls[i + 1].read, record_size_);
        }
    }
}

TEST_F(ReadCache, AClearedAndRefilledLogIsReadAfreshNotFromTheOldBuffer) {
    el_->put_CacheSize(0x10000);
    EXPECT_EQ(EventIdOf(1), 1001);  // the buffer now holds 1..9
    // Another writer clears the log and writes three records: the buffer's numbers 4..9
    // lie beyond the log, and its 1..3 are other records now.
    ASSERT_TRUE(log_.Clear());
    for (DWORD i = 1; i <= 3; ++i) ASSERT_TRUE(log_.Write(2000 + i, {"text " + std::to_string(i)}));

    Recorder recorder;
    EXPECT_EQ(EventIdOf(3), 2003);
    const auto reads = recorder.CallsOf("ReadEventLogA");
    ASSERT_FALSE(reads.empty()) << "served from the stale buffer";
    EXPECT_TRUE(reads.back().ok);
    EXPECT_EQ((Read{reads.back().flags, reads.back().offset, reads.back().size}), (Read{kForwards, 3, 0x10000}));
    EXPECT_EQ(EventIdOf(1), 2001);
}

TEST_F(ReadCache, ADamagedLengthCopyFailsOnlyItsOwnRecord) {
    // Record 9 of 9 ends with a wrong copy of its length wherever a read returns it: one
    // that points past the bytes read, and two that point inside the buffer.
    long cache_size = 0x10000;
    for (DWORD wrong : {DWORD(0xFFFFFFF0), DWORD(60), record_size_ + 8}) {
        SCOPED_TRACE("length copy " + std::to_string(wrong));
        ReplacedRead damaged([&](const vantrel::evtapi::Functions& next, HANDLE log, DWORD flags, DWORD offset,
                                 BYTE* buffer, DWORD size, DWORD* read, DWORD* needed) {
            BOOL ok = next.ReadEventLogA(log, flags, offset, buffer, size, read, needed);
            for (DWORD pos = 0; ok && pos + 12 <= *read;) {
                const DWORD length = U32At(buffer + pos);
                if (length < 12 || length > *read - pos) break;
                if (U32At(buffer + pos + 8) == kRecords) std::memcpy(buffer + pos + length - 4, &wrong, 4);
                pos += length;
            }
            return ok;
        });
        el_->put_CacheSize(++cache_size);  // a new, empty cache
        for (long n = 1; n < long(kRecords); ++n) EXPECT_EQ(EventIdOf(n), 1000 + n) << n;
        ComPtr<IEventLogRecord> r;
        EXPECT_EQ(static_cast<uint32_t>(el_->ReadRecord(kRecords, &r)), 0x800705DCu);  // ERROR_EVENTLOG_FILE_CORRUPT
        EXPECT_TRUE(StartsWith(ErrorText(), L"Error reading event log - "));
        EXPECT_EQ(EventIdOf(kRecords - 1), 1000 + long(kRecords) - 1);
    }
}

TEST_F(ReadCache, ALogThatKeepsChangingFailsTheReadInsteadOfRetryingForEver) {
    // Every read answers that the log changed since the handle opened it, as a log cleared
    // again and again would, for the first thousand reads.
    int reads = 0;
    ReplacedRead changing([&](const vantrel::evtapi::Functions& next, HANDLE log, DWORD flags, DWORD offset,
                              BYTE* buffer, DWORD size, DWORD* read, DWORD* needed) {
        if (++reads > 1000) return next.ReadEventLogA(log, flags, offset, buffer, size, read, needed);
        ::SetLastError(ERROR_EVENTLOG_FILE_CHANGED);
        return FALSE;
    });
    ComPtr<IEventLogRecord> r;
    EXPECT_EQ(static_cast<uint32_t>(el_->ReadRecord(1, &r)), 0x800705DFu);
    EXPECT_TRUE(StartsWith(ErrorText(), L"Error reading event log - "));
    EXPECT_LT(reads, 20);
}

}  // namespace
