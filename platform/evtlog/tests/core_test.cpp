// The record format and its ANSI form.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/evtlog/core/ansi_record.h"
#include "test_support.h"

namespace vantrel::evt::test {
namespace {

TEST(RecordFormat, EncodeDecodeRoundTripKeepsEveryField) {
    Event e = MakeEvent(u"x\u00e9\u4e2d", 3, 5, true);
    e.recordNumber = 42;
    e.timeWritten = 7;
    e.closingRecordNumber = 9;
    e.reservedFlags = 2;
    std::vector<uint8_t> r = EncodeRecord(e);
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(r.size() % 4, 0u);
    Event d;
    ASSERT_TRUE(DecodeEvent(r.data(), r.size(), d));
    EXPECT_EQ(d.recordNumber, 42u);
    EXPECT_EQ(d.timeWritten, 7u);
    EXPECT_EQ(d.closingRecordNumber, 9u);
    EXPECT_EQ(d.reservedFlags, 2);
    EXPECT_EQ(d.source, e.source);
    EXPECT_EQ(d.computer, e.computer);
    EXPECT_EQ(d.sid, e.sid);
    EXPECT_EQ(d.strings, e.strings);
    EXPECT_EQ(d.data, e.data);
}

TEST(RecordFormat, PaddingAlwaysSeparatesDataFromTheLengthCopy) {
    // Data ending on a 4-byte boundary still gets 4 bytes of padding, as the platform writes.
    for (int data = 0; data < 8; ++data) {
        Event e = MakeEvent(u"p", 0, data);
        std::vector<uint8_t> r = EncodeRecord(e);
        uint32_t dataEnd = Get32(&r[52]) + Get32(&r[48]);
        EXPECT_GE(r.size() - 4 - dataEnd, 1u) << data;
        EXPECT_LE(r.size() - 4 - dataEnd, 4u) << data;
    }
}

TEST(RecordFormat, OversizedRecordIsRefused) {
    Event e = MakeEvent(u"big", 0, 0);
    e.data.assign(kMaxRecordSize, 1);
    EXPECT_TRUE(EncodeRecord(e).empty());
}

// Every lie a hostile record can tell about its own layout is caught.
TEST(RecordFormat, HostileRecordsAreRejected) {
    std::vector<uint8_t> good = EncodeRecord(MakeEvent(u"h", 2, 3, true));
    RecordView v;
    RecordTexts t;
    ASSERT_TRUE(ParseRecord(good.data(), good.size(), v, t));
    auto broken = [&](size_t at, uint32_t value) {
        std::vector<uint8_t> r = good;
        Put32(&r[at], value);
        return !ParseRecord(r.data(), r.size(), v, t);
    };
    EXPECT_TRUE(broken(0, uint32_t(good.size() + 4)));  // longer than the bytes
    EXPECT_TRUE(broken(0, 8));                          // shorter than the fixed part
    EXPECT_TRUE(broken(4, 0x12345678));                 // signature
    EXPECT_TRUE(broken(good.size() - 4, 1));            // trailing length copy
    EXPECT_TRUE(broken(36, 0xFFFFFFF0));                // string offset
    EXPECT_TRUE(broken(40, 0xFFFFFFFF));                // SID length wraps
    EXPECT_TRUE(broken(44, uint32_t(good.size())));     // SID offset past the end
    EXPECT_TRUE(broken(48, 0x7FFFFFFF));                // data length
    EXPECT_TRUE(broken(52, 2));                         // data inside the fixed part
    // Strings that run into the length copy without a terminator.
    std::vector<uint8_t> r = good;
    Put16(&r[24 + 2], 200);
    EXPECT_FALSE(ParseRecord(r.data(), r.size(), v, t));
    EXPECT_FALSE(ParseRecord(good.data(), 40, v, t));
}

class Ansi : public ::testing::Test {
protected:
    std::string Convert(const Event& e) {
        stored = EncodeRecord(e);
        RecordView v;
        RecordTexts t;
        EXPECT_TRUE(ParseRecord(stored.data(), stored.size(), v, t));
        std::string out;
        EXPECT_TRUE(AppendAnsiRecord(v, t, Latin1(), out));
        return out;
    }
    std::vector<uint8_t> stored;
};

TEST_F(Ansi, LayoutIsRecomputedForTheConvertedTexts) {
    Event e = MakeEvent(u"ab\u00e9", 2, 3, true);  // source "Srcab\xe9": 6 ANSI bytes
    e.recordNumber = 5;
    std::string a = Convert(e);
    auto* p = reinterpret_cast<const uint8_t*>(a.data());
    ASSERT_EQ(Get32(p), a.size());
    EXPECT_EQ(Get32(p + a.size() - 4), a.size());
    EXPECT_EQ(Get32(p + 4), kSignature);
    EXPECT_EQ(Get32(p + 8), 5u);
    EXPECT_STREQ(a.c_str() + 56, "Srcab\xe9");
    EXPECT_STREQ(a.c_str() + 56 + 7, "HOST");
    uint32_t sidOffset = Get32(p + 44), stringOffset = Get32(p + 36), dataOffset = Get32(p + 52);
    EXPECT_EQ(sidOffset, 72u);  // 56 + 7 + 5 ends aligned: four zero bytes all the same
    EXPECT_EQ(Get32(p + 68), 0u);
    EXPECT_EQ(Get32(p + 40), 12u);
    EXPECT_EQ(0, std::memcmp(p + sidOffset, e.sid.data(), 12));
    EXPECT_EQ(stringOffset, sidOffset + 12);
    EXPECT_STREQ(a.c_str() + stringOffset, "ab\xe9-a");
    EXPECT_STREQ(a.c_str() + stringOffset + 6, "ab\xe9-b");
    EXPECT_EQ(dataOffset, stringOffset + 12);
    EXPECT_EQ(Get32(p + 48), 3u);
    EXPECT_EQ(0, std::memcmp(p + dataOffset, e.data.data(), 3));
    EXPECT_EQ(Get16(p + 26), 2);
}

// As the NT 5 family handles records: stored, the SID straight after the computer name,
// even where that is not on a 4-byte boundary; read in ANSI form, on the next boundary.
TEST_F(Ansi, StoredSidFollowsTheComputerNameAndTheAnsiSidIsAligned) {
    Event e = MakeEvent(u"ab", 0, 0, true);  // source "Srcab", computer "HOST"
    std::string a = Convert(e);
    EXPECT_EQ(Get32(stored.data() + 44), 56u + 2 * 6 + 2 * 5);
    EXPECT_EQ(0, std::memcmp(stored.data() + 78, e.sid.data(), 12));
    auto* p = reinterpret_cast<const uint8_t*>(a.data());
    EXPECT_EQ(Get32(p + 44), 68u);  // 56 + 6 + 5 = 67, one zero byte
    EXPECT_EQ(p[67], 0);
    EXPECT_EQ(0, std::memcmp(p + 68, e.sid.data(), 12));
    EXPECT_EQ(Get32(p + 36), 68u + 12);
}

TEST_F(Ansi, CharactersOutsideTheCodePageGoThroughTheConverter) {
    Event e = MakeEvent(u"\u4e2d", 1, 0);
    std::string a = Convert(e);
    EXPECT_STREQ(a.c_str() + 56, "Src?");
    // Without a converter such characters become '?' too, and ASCII passes unchanged.
    RecordView v;
    RecordTexts t;
    ASSERT_TRUE(ParseRecord(stored.data(), stored.size(), v, t));
    std::string plain;
    ASSERT_TRUE(AppendAnsiRecord(v, t, AnsiConverter{}, plain));
    EXPECT_EQ(plain, a);
}

}  // namespace
}  // namespace vantrel::evt::test
