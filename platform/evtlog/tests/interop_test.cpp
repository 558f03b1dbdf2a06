// Our reading and writing of EVT files against the fixtures and evtexport (libevt).
#include <gtest/gtest.h>

#include "platform/evtlog/core/evt_listing.h"
#include "test_support.h"

namespace vantrel::evt::test {
namespace {

class Fixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Exists(FixturePath("SysEvent-repaired.Evt")) || !Exists(FixturePath("SysEvent.Evt")))
            GTEST_SKIP() << "fixtures not found beside the checkout (" << EVTLOG_FIXTURES << ")";
    }
};

TEST_F(Fixture, RepairedLogReadsInFullAsEvtexportListsIt) {
    MemoryStorage s(ReadFile(FixturePath("SysEvent-repaired.Evt")));
    Header h;
    uint32_t size = 0;
    ASSERT_EQ(LoadHeader(s, h, size, true), err::kOk);
    RecordIndex index;
    ASSERT_EQ(index.Refresh(s, h, size), err::kOk);
    EXPECT_EQ(index.First(), 1392u);
    EXPECT_EQ(index.Count(), 6063u);
    std::string ours = Listing(s);
    std::string theirs = Evtexport(FixturePath("SysEvent-repaired.Evt"));
    if (theirs.empty()) GTEST_SKIP() << "evtexport (libevt-utils) is not installed";
    EXPECT_EQ(ours, theirs);
}

TEST_F(Fixture, DirtyLogIsRefusedAndRepairsToTheRepairedHeader) {
    MemoryStorage dirty(ReadFile(FixturePath("SysEvent.Evt")));
    Header h;
    uint32_t size = 0;
    EXPECT_EQ(LoadHeader(dirty, h, size, true), err::kFileCorrupt);
    ASSERT_EQ(RepairHeader(dirty, h), err::kOk);
    std::vector<uint8_t> repaired = ReadFile(FixturePath("SysEvent-repaired.Evt"));
    EXPECT_TRUE(std::equal(repaired.begin(), repaired.begin() + kHeaderSize, dirty.bytes().begin()));
}

// A log of ours that has wrapped several times, with a SID, data and non-ASCII texts,
// lists the same in evtexport as in our own reader.
TEST(Interop, WrappedLogOfOursParsesInEvtexport) {
    MemoryStorage s;
    Header h;
    Settings st;
    st.maxSize = 0x10000;
    ASSERT_EQ(CreateLog(s, st, h), err::kOk);
    uint32_t size = 0x10000;
    for (int i = 0; i < 700; ++i) {
        Event e = MakeEvent(u"r" + std::u16string(1, char16_t(u'0' + i % 10)) + u"\u00e9\u4e2d", i % 4, i % 9, i % 3 == 0);
        e.eventType = uint16_t(1 << (i % 5));
        ASSERT_EQ(AppendEvent(s, h, size, st, e, 1300000000 + i), err::kOk) << i;
    }
    ASSERT_NE(h.flags & kFlagWrap, 0u);
    EXPECT_EQ(h.Newest(), 700u);
    std::string path = ScratchPath("ours-wrapped.evt");
    ASSERT_TRUE(WriteFile(path, s.bytes()));
    std::string theirs = Evtexport(path);
    if (theirs.empty()) GTEST_SKIP() << "evtexport (libevt-utils) is not installed";
    EXPECT_EQ(Listing(s), theirs);
}

}  // namespace
}  // namespace vantrel::evt::test
