// ReadEventLogA's reading rules over the core.
#include <gtest/gtest.h>

#include "platform/evtlog/core/read_cursor.h"
#include "test_support.h"

namespace vantrel::evt::test {
namespace {

class Reader : public ::testing::Test {
protected:
    // A log that has wrapped: records first..last, with record 'big' far larger than the rest.
    void SetUp() override {
        st.maxSize = 0x10000;
        ASSERT_EQ(CreateLog(s, st, h), err::kOk);
        size = kSizeStep;
        for (int i = 1; i <= 900; ++i) {
            Event e = MakeEvent(u"r", i % 4, i % 5);
            if (i == 880) e.data.assign(5000, 1);
            ASSERT_EQ(AppendEvent(s, h, size, st, e), err::kOk);
        }
        ASSERT_GT(h.oldestRecordNumber, 1u);
        ASSERT_EQ(index.Refresh(s, h, size), err::kOk);
        first = index.First();
        last = h.Newest();
        buffer.assign(0x10000, 0xCC);
    }
    ReadResult Read(uint32_t flags, uint32_t number, uint32_t bytes) {
        return reader.Read(s, h, size, index, cursor, flags, number, buffer.data(), bytes, Latin1());
    }
    // Record numbers in the buffer, walking by each record's length.
    std::vector<uint32_t> Numbers(const ReadResult& r) {
        std::vector<uint32_t> n;
        for (uint32_t at = 0; at < r.bytesRead; at += Get32(&buffer[at])) {
            uint32_t len = Get32(&buffer[at]);
            if (len < 60 || at + len > r.bytesRead || Get32(&buffer[at + len - 4]) != len) {
                ADD_FAILURE() << "malformed record at " << at;
                break;
            }
            n.push_back(Get32(&buffer[at + 8]));
        }
        return n;
    }
    MemoryStorage s;
    Header h;
    Settings st;
    uint32_t size = 0, first = 0, last = 0;
    RecordIndex index;
    RecordReader reader;
    Cursor cursor;
    std::vector<uint8_t> buffer;
};

TEST_F(Reader, SequentialForwardsReadsEveryRecordOnceAcrossTheWrap) {
    std::vector<uint32_t> all;
    for (;;) {
        ReadResult r = Read(kSequentialRead | kForwardsRead, 0, 4096);
        if (r.error == err::kInsufficientBuffer) {
            ASSERT_GT(r.needed, 4096u);
            r = Read(kSequentialRead | kForwardsRead, 0, r.needed);
        }
        if (r.error == err::kHandleEof) break;
        ASSERT_EQ(r.error, err::kOk);
        for (uint32_t n : Numbers(r)) all.push_back(n);
    }
    ASSERT_EQ(all.size(), last - first + 1);
    for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i], first + i);
    // Past the end stays at the end.
    EXPECT_EQ(Read(kSequentialRead | kForwardsRead, 0, 4096).error, err::kHandleEof);
}

TEST_F(Reader, SequentialBackwardsStartsAtTheNewest) {
    ReadResult r = Read(kSequentialRead | kBackwardsRead, 0, 600);
    ASSERT_EQ(r.error, err::kOk);
    std::vector<uint32_t> n = Numbers(r);
    ASSERT_FALSE(n.empty());
    for (size_t i = 0; i < n.size(); ++i) EXPECT_EQ(n[i], last - i);
}

TEST_F(Reader, SeekReadsInBothDirectionsAndSetsTheSequentialPosition) {
    ReadResult r = Read(kSeekRead | kBackwardsRead, first + 2, 0x10000);
    ASSERT_EQ(r.error, err::kOk);
    EXPECT_EQ(Numbers(r), (std::vector<uint32_t>{first + 2, first + 1, first}));
    EXPECT_EQ(Read(kSequentialRead | kBackwardsRead, 0, 4096).error, err::kHandleEof);
    r = Read(kSeekRead | kForwardsRead, 500, 200);
    ASSERT_EQ(r.error, err::kOk);
    std::vector<uint32_t> n = Numbers(r);
    ASSERT_EQ(n.front(), 500u);
    r = Read(kSequentialRead | kForwardsRead, 0, 200);
    ASSERT_EQ(r.error, err::kOk);
    EXPECT_EQ(Numbers(r).front(), n.back() + 1);
}

TEST_F(Reader, SeekOutsideTheLogIsAnInvalidParameter) {
    EXPECT_EQ(Read(kSeekRead | kForwardsRead, first - 1, 4096).error, err::kInvalidParameter);
    EXPECT_EQ(Read(kSeekRead | kForwardsRead, last + 1, 4096).error, err::kInvalidParameter);
    EXPECT_EQ(Read(kSeekRead | kBackwardsRead, 0, 4096).error, err::kInvalidParameter);
}

TEST_F(Reader, RecordLargerThanTheBufferReportsItsAnsiSize) {
    ReadResult r = Read(kSeekRead | kForwardsRead, 880, 4096);
    ASSERT_EQ(r.error, err::kInsufficientBuffer);
    EXPECT_EQ(r.bytesRead, 0u);
    EXPECT_EQ(buffer[0], 0xCC);  // nothing written
    r = Read(kSeekRead | kForwardsRead, 880, r.needed);
    ASSERT_EQ(r.error, err::kOk);
    EXPECT_EQ(Numbers(r), std::vector<uint32_t>{880});
    // A zero-byte read asks for the size of the first record.
    r = Read(kSeekRead | kForwardsRead, 881, 0);
    EXPECT_EQ(r.error, err::kInsufficientBuffer);
    EXPECT_GT(r.needed, 56u);
    // A failed read leaves the sequential position where it was.
    r = Read(kSequentialRead | kForwardsRead, 0, 0x10000);
    ASSERT_EQ(r.error, err::kOk);
    EXPECT_EQ(Numbers(r).front(), 881u);
}

TEST_F(Reader, FlagsAndBufferAreChecked) {
    EXPECT_EQ(Read(kSeekRead | kSequentialRead | kForwardsRead, first, 4096).error, err::kInvalidParameter);
    EXPECT_EQ(Read(kForwardsRead, first, 4096).error, err::kInvalidParameter);
    EXPECT_EQ(Read(kSeekRead | kForwardsRead | kBackwardsRead, first, 4096).error, err::kInvalidParameter);
    EXPECT_EQ(Read(kSeekRead, first, 4096).error, err::kInvalidParameter);
    EXPECT_EQ(reader.Read(s, h, size, index, cursor, kSeekRead | kForwardsRead, first, nullptr, 10,
                          Latin1()).error,
              err::kInvalidParameter);
}

TEST_F(Reader, ForwardReaderOvertakenByTheWrapGoesOnFromTheOldest) {
    ASSERT_EQ(Read(kSeekRead | kForwardsRead, first, 200).error, err::kOk);
    for (int i = 0; i < 800; ++i) ASSERT_EQ(AppendEvent(s, h, size, st, MakeEvent(u"n", 1, 1)), err::kOk);
    ASSERT_EQ(index.Refresh(s, h, size), err::kOk);
    ReadResult r = Read(kSequentialRead | kForwardsRead, 0, 200);
    ASSERT_EQ(r.error, err::kOk);
    EXPECT_EQ(Numbers(r).front(), index.First());
}

// A record whose framing is intact but whose contents do not parse costs only itself:
// the records before it come back, it alone fails, and reading goes on after it.
TEST_F(Reader, ACorruptRecordFailsAloneAndReadingGoesOnPastIt) {
    const uint32_t bad = first + 20;
    uint8_t hostile[6] = {1, 0, 0, 0, 0, 0};  // one string, at an offset far outside the record
    Put32(hostile + 2, 0xFFFFFFF0u);
    ASSERT_TRUE(RingWrite(s, size, RingAdvance(index.Offset(bad), 26, size), hostile, 2));
    ASSERT_TRUE(RingWrite(s, size, RingAdvance(index.Offset(bad), 36, size), hostile + 2, 4));

    ReadResult r = Read(kSeekRead | kForwardsRead, first + 10, 0x10000);
    ASSERT_EQ(r.error, err::kOk);
    std::vector<uint32_t> n = Numbers(r);
    ASSERT_EQ(n.size(), 10u);
    EXPECT_EQ(n.back(), bad - 1);
    r = Read(kSequentialRead | kForwardsRead, 0, 0x10000);
    EXPECT_EQ(r.error, err::kFileCorrupt);
    r = Read(kSequentialRead | kForwardsRead, 0, 0x10000);
    ASSERT_EQ(r.error, err::kOk);
    EXPECT_EQ(Numbers(r).front(), bad + 1);

    EXPECT_EQ(Read(kSeekRead | kForwardsRead, bad, 0x10000).error, err::kFileCorrupt);
    r = Read(kSeekRead | kBackwardsRead, bad + 3, 0x10000);
    ASSERT_EQ(r.error, err::kOk);
    EXPECT_EQ(Numbers(r), (std::vector<uint32_t>{bad + 3, bad + 2, bad + 1}));
    EXPECT_EQ(Read(kSequentialRead | kBackwardsRead, 0, 0x10000).error, err::kFileCorrupt);
    r = Read(kSequentialRead | kBackwardsRead, 0, 0x10000);
    ASSERT_EQ(r.error, err::kOk);
    EXPECT_EQ(Numbers(r).front(), bad - 1);
}

TEST(EmptyLog, EveryReadEndsAtOnce) {
    MemoryStorage s;
    Header h;
    ASSERT_EQ(CreateLog(s, Settings{}, h), err::kOk);
    RecordIndex index;
    ASSERT_EQ(index.Refresh(s, h, kSizeStep), err::kOk);
    RecordReader reader;
    Cursor cursor;
    uint8_t b[256];
    EXPECT_EQ(reader.Read(s, h, kSizeStep, index, cursor, kSequentialRead | kForwardsRead, 0, b, 256, Latin1()).error,
              err::kHandleEof);
    EXPECT_EQ(reader.Read(s, h, kSizeStep, index, cursor, kSeekRead | kBackwardsRead, 1, b, 256, Latin1()).error,
              err::kHandleEof);
}

}  // namespace
}  // namespace vantrel::evt::test
