// The log file as a ring: growth, wrapping, retention, the incremental index, repair.
#include <gtest/gtest.h>

#include "test_support.h"

namespace vantrel::evt::test {
namespace {

class Ring : public ::testing::Test {
protected:
    void Create(uint32_t maxSize, uint32_t retention = 0) {
        st.maxSize = maxSize;
        st.retention = retention;
        ASSERT_EQ(CreateLog(s, st, h), err::kOk);
        size = kSizeStep;
    }
    uint32_t Add(int i, uint32_t now = 1000000000) {
        return AppendEvent(s, h, size, st, MakeEvent(u"e" + std::u16string(1, char16_t(u'a' + i % 26)), i % 3, i % 7), now);
    }
    // The header on disk agrees with the one in memory and every record is reachable.
    void ExpectConsistent() {
        Header disk;
        uint32_t diskSize = 0;
        ASSERT_EQ(LoadHeader(s, disk, diskSize, true), err::kOk);
        EXPECT_EQ(disk.startOffset, h.startOffset);
        EXPECT_EQ(disk.endOffset, h.endOffset);
        EXPECT_EQ(disk.Count(), h.Count());
        EXPECT_EQ(diskSize, size);
        RecordIndex fresh;
        ASSERT_EQ(fresh.Refresh(s, disk, diskSize), err::kOk);
        EXPECT_EQ(fresh.Count(), h.Count());
        uint8_t eof[kEofSize];
        ASSERT_TRUE(RingRead(s, size, h.endOffset, eof, kEofSize));
        EofRecord e;
        ASSERT_TRUE(DecodeEof(eof, e));
        EXPECT_EQ(e.currentRecordNumber, h.currentRecordNumber);
        EXPECT_EQ(e.beginRecord, h.startOffset);
    }
    MemoryStorage s;
    Header h;
    Settings st;
    uint32_t size = 0;
};

TEST_F(Ring, NewLogIsEmptyAndNumbersStartAtOne) {
    Create(0x80000);
    EXPECT_EQ(h.Count(), 0u);
    EXPECT_EQ(h.oldestRecordNumber, 0u);
    EXPECT_EQ(s.bytes().size(), kSizeStep);
    ExpectConsistent();
    ASSERT_EQ(Add(0), err::kOk);
    EXPECT_EQ(h.oldestRecordNumber, 1u);
    EXPECT_EQ(h.Count(), 1u);
    ExpectConsistent();
}

TEST_F(Ring, FileGrowsInStepsUpToMaxSizeThenWraps) {
    Create(0x30000);
    int i = 0;
    while (h.oldestRecordNumber <= 1) ASSERT_EQ(Add(i++), err::kOk);
    EXPECT_EQ(size, 0x30000u);
    EXPECT_NE(h.flags & kFlagWrap, 0u);
    ExpectConsistent();
    // Several more laps; the index follows incrementally and always matches a full scan.
    RecordIndex index;
    ASSERT_EQ(index.Refresh(s, h, size), err::kOk);
    for (int k = 0; k < 5000; ++k) {
        ASSERT_EQ(Add(i++), err::kOk);
        if (k % 97 == 0) {
            ASSERT_EQ(index.Refresh(s, h, size), err::kOk);
            RecordIndex full;
            ASSERT_EQ(full.Refresh(s, h, size), err::kOk);
            ASSERT_EQ(index.First(), full.First());
            ASSERT_EQ(index.Count(), full.Count());
            for (uint32_t n = full.First(); n < full.First() + full.Count(); n += 13)
                ASSERT_EQ(index.Offset(n), full.Offset(n));
        }
    }
    EXPECT_EQ(size, 0x30000u);
    EXPECT_EQ(h.Newest(), uint32_t(i));
    ExpectConsistent();
}

TEST_F(Ring, RetentionNeverRefusesWhenFull) {
    Create(0x10000, kRetentionNever);
    uint32_t r;
    int i = 0;
    while ((r = Add(i++)) == err::kOk) {}
    EXPECT_EQ(r, err::kLogFileFull);
    EXPECT_EQ(h.oldestRecordNumber, 1u);  // nothing was overwritten
    ExpectConsistent();
}

TEST_F(Ring, RetentionPeriodOverwritesOnlyOldEnoughRecords) {
    Create(0x10000, 3600);
    int i = 0;
    while (Add(i++, 1000) == err::kOk) {}
    uint32_t count = h.Count();
    // Still within the hour: refused.
    EXPECT_EQ(Add(i++, 1000 + 3599), err::kLogFileFull);
    EXPECT_EQ(h.Count(), count);
    // An hour later the oldest records may go.
    EXPECT_EQ(Add(i++, 1000 + 3600), err::kOk);
    EXPECT_GT(h.oldestRecordNumber, 1u);
    ExpectConsistent();
}

TEST_F(Ring, RecordLargerThanTheLogIsRefused) {
    Create(0x10000);
    Event e = MakeEvent(u"big", 0, 0);
    e.data.assign(0x10000, 7);
    std::vector<uint8_t> rec = EncodeRecord(e);
    uint32_t number = 0;
    EXPECT_EQ(AppendRecord(s, h, size, st, rec, 1, number), err::kLogFileFull);
    // A record nearly as large as the ring evicts everything else and fits.
    ASSERT_EQ(Add(0), err::kOk);
    e.data.assign(0x10000 - 0x30 - kEofSize - 120, 7);
    rec = EncodeRecord(e);
    ASSERT_EQ(AppendRecord(s, h, size, st, rec, 1, number), err::kOk);
    EXPECT_EQ(h.Count(), 1u);
    EXPECT_EQ(number, 2u);
    ExpectConsistent();
}

TEST_F(Ring, HeaderChecksCatchImpossibleOffsetsAndCounts) {
    Create(0x10000);
    for (int i = 0; i < 10; ++i) ASSERT_EQ(Add(i), err::kOk);
    auto corrupt = [&](size_t at, uint32_t value) {
        MemoryStorage copy(s.bytes());
        uint8_t b[4];
        Put32(b, value);
        copy.Write(uint32_t(at), b, 4);
        Header hh;
        uint32_t sz = 0;
        RecordIndex index;
        return LoadHeader(copy, hh, sz, true) != err::kOk || index.Refresh(copy, hh, sz) != err::kOk;
    };
    EXPECT_TRUE(corrupt(16, 0x10));        // start inside the header
    EXPECT_TRUE(corrupt(20, 0x20000));     // end past the file
    EXPECT_TRUE(corrupt(24, 5000));        // more records than the ring can hold
    EXPECT_TRUE(corrupt(28, 20));          // oldest after current
    EXPECT_TRUE(corrupt(24, 8));           // fewer records than the file holds
    EXPECT_TRUE(corrupt(36, kFlagDirty));  // dirty
    EXPECT_TRUE(corrupt(4, 0));            // signature
}

TEST_F(Ring, RepairRebuildsTheHeaderFromTheEndOfFileRecord) {
    Create(0x20000);
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(Add(i), err::kOk);
    std::vector<uint8_t> good(s.bytes().begin(), s.bytes().begin() + kHeaderSize);
    // A stale, dirty header as a copy taken from a running system has.
    Header stale = h;
    stale.endOffset = h.startOffset;
    stale.currentRecordNumber = h.oldestRecordNumber + 1;
    stale.flags |= kFlagDirty;
    uint8_t b[kHeaderSize];
    EncodeHeader(stale, b);
    s.Write(0, b, kHeaderSize);
    Header fixed;
    ASSERT_EQ(RepairHeader(s, fixed), err::kOk);
    EXPECT_EQ(std::vector<uint8_t>(s.bytes().begin(), s.bytes().begin() + kHeaderSize), good);
    // Nothing to repair from: refused.
    MemoryStorage blank(std::vector<uint8_t>(0x10000, 0));
    blank.Write(0, b, kHeaderSize);
    EXPECT_EQ(RepairHeader(blank, fixed), err::kFileCorrupt);
}

// A lowered size: the newest records that fit move into a file of the new size, keeping
// their numbers and times, and only as the retention lets the others go.
TEST(Shrink, KeepsTheNewestRecordsThatFitAsTheRetentionAllows) {
    MemoryStorage s;
    Header h;
    Settings big{0x30000, 0};
    ASSERT_EQ(CreateLog(s, big, h), err::kOk);
    uint32_t size = kSizeStep;
    for (uint32_t i = 1; i <= 1500; ++i)
        ASSERT_EQ(AppendEvent(s, h, size, big, MakeEvent(u"x", 3, 40), 5000 + i), err::kOk);
    ASSERT_EQ(size, 0x30000u);
    ASSERT_GT(h.oldestRecordNumber, 1u);  // wrapped

    MemoryStorage out;
    Header small;
    EXPECT_EQ(ShrinkLog(s, h, size, {0x10000, kRetentionNever}, 9000, out, small), err::kLogFileFull);
    EXPECT_EQ(ShrinkLog(s, h, size, {0x10000, 3600}, 6000, out, small), err::kLogFileFull);
    ASSERT_EQ(ShrinkLog(s, h, size, {0x10000, 3600}, 20000, out, small), err::kOk);
    uint32_t outSize = 0;
    Header loaded;
    ASSERT_EQ(LoadHeader(out, loaded, outSize, true), err::kOk);
    EXPECT_EQ(outSize, 0x10000u);
    EXPECT_EQ(loaded.maxSize, 0x10000u);
    EXPECT_EQ(loaded.retention, 3600u);
    EXPECT_EQ(loaded.currentRecordNumber, 1501u);
    RecordIndex index;
    ASSERT_EQ(index.Refresh(out, loaded, outSize), err::kOk);
    EXPECT_GT(index.Count(), 100u);
    EXPECT_LT(index.Count(), h.Count());
    EXPECT_EQ(index.First() + index.Count(), 1501u);
    std::vector<uint8_t> record(index.Size(1500, loaded, outSize));
    ASSERT_TRUE(RingRead(out, outSize, index.Offset(1500), record.data(), uint32_t(record.size())));
    Event e;
    ASSERT_TRUE(DecodeEvent(record.data(), record.size(), e));
    EXPECT_EQ(e.recordNumber, 1500u);
    EXPECT_EQ(e.timeWritten, 6500u);
    EXPECT_EQ(e.strings, MakeEvent(u"x", 3, 40).strings);

    // The shrunk log goes on wrapping within its new size.
    for (uint32_t i = 0; i < 500; ++i)
        ASSERT_EQ(AppendEvent(out, loaded, outSize, {0x10000, 0}, MakeEvent(u"y", 1, 0)), err::kOk);
    EXPECT_EQ(outSize, 0x10000u);
    EXPECT_EQ(out.bytes().size(), 0x10000u);
    EXPECT_EQ(loaded.Newest(), 2000u);
}

}  // namespace
}  // namespace vantrel::evt::test
