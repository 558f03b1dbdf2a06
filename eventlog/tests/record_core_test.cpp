// Decoding pieces of a record that need no Windows: the raw layout, SID texts and cache,
// and dates.
#include <gtest/gtest.h>

#include "core/ole_date.h"
#include "core/raw_record.h"
#include "core/sid_cache.h"
#include "core/sid_text.h"
#include "raw_record_builder.h"

namespace {

TEST(RawRecord, DecodesEveryFieldAtItsOffset) {
    RawRecordSpec spec;
    spec.record_number = 77;
    spec.event_id = 0xC0000005;
    spec.event_type = 16;
    spec.category = 65535;
    spec.sid = DomainSid(500);
    spec.strings = {"C:", "", "third"};
    spec.data = {1, 2, 255, 0};
    auto bytes = BuildRawRecord(spec);
    lorvex::RawRecord r;
    ASSERT_TRUE(lorvex::ParseRawRecord(bytes.data(), bytes.size(), &r));
    EXPECT_EQ(r.record_number, 77u);
    EXPECT_EQ(r.event_id, 0xC0000005u);
    EXPECT_EQ(r.event_type, 16);
    EXPECT_EQ(r.event_category, 65535);
    EXPECT_EQ(r.source_name, "TestSource");
    EXPECT_EQ(r.computer_name, "TESTHOST");
    ASSERT_EQ(r.sid_length, spec.sid.size());
    EXPECT_EQ(std::vector<uint8_t>(r.sid, r.sid + r.sid_length), spec.sid);
    ASSERT_EQ(r.strings.size(), 3u);
    EXPECT_EQ(r.strings[0], "C:");
    EXPECT_EQ(r.strings[1], "");
    EXPECT_EQ(r.strings[2], "third");
    ASSERT_EQ(r.data_length, 4u);
    EXPECT_EQ(r.data[2], 255);
}

TEST(RawRecord, RefusesOffsetsAndLengthsOutsideTheRecord) {
    RawRecordSpec spec;
    spec.sid = DomainSid(1);
    spec.strings = {"a"};
    spec.data = {9};
    const auto good = BuildRawRecord(spec);
    lorvex::RawRecord r;
    auto corrupt = [&](size_t at, uint32_t value) {
        auto b = good;
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
        return lorvex::ParseRawRecord(b.data(), b.size(), &r);
    };
    EXPECT_FALSE(corrupt(0, static_cast<uint32_t>(good.size() + 4)));  // length beyond the bytes
    EXPECT_FALSE(corrupt(0, 20));                                       // length below the header
    EXPECT_FALSE(corrupt(44, 0xFFFFFFF0));                              // SID offset
    EXPECT_FALSE(corrupt(40, 0xFFFFFFFF));                              // SID length wraps
    EXPECT_FALSE(corrupt(52, static_cast<uint32_t>(good.size())));      // data offset at the end
    EXPECT_FALSE(corrupt(36, static_cast<uint32_t>(good.size())));      // strings start past the end
    EXPECT_FALSE(lorvex::ParseRawRecord(good.data(), 10, &r));

    // An unterminated computer name.
    auto b = good;
    std::fill(b.begin() + 56, b.end(), 'x');
    EXPECT_FALSE(lorvex::ParseRawRecord(b.data(), b.size(), &r));
    EXPECT_TRUE(lorvex::ParseRawRecord(good.data(), good.size(), &r));
}

TEST(SidText, WritesDecimalOrHexadecimalAuthority) {
    const uint8_t system[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    ASSERT_EQ(lorvex::SidLength(system, sizeof system), sizeof system);
    EXPECT_EQ(lorvex::SidToText(system), "S-1-5-18");
    auto domain = DomainSid(4294967295u);
    EXPECT_EQ(lorvex::SidToText(domain.data()), "S-1-5-21-1000-2000-3000-4294967295");
    const uint8_t big[] = {1, 0, 0x01, 0x02, 0, 0, 0, 0xff};
    EXPECT_EQ(lorvex::SidToText(big), "S-1-0x0102000000ff");
    const uint8_t high[] = {1, 0, 0, 0, 0x80, 0, 0, 1};
    EXPECT_EQ(lorvex::SidToText(high), "S-1-2147483649");
    EXPECT_EQ(lorvex::SidLength(system, sizeof system - 1), 0u);
    const uint8_t bad_revision[] = {2, 0, 0, 0, 0, 0, 0, 5};
    EXPECT_EQ(lorvex::SidLength(bad_revision, sizeof bad_revision), 0u);
}

TEST(SidCache, FindsNewestFirstAndReplacesTheOldestWhenFull) {
    lorvex::SidCache cache(20);
    for (uint32_t i = 1; i <= 20; ++i) {
        auto sid = DomainSid(i);
        ASSERT_TRUE(cache.Add(sid.data(), sid.size(), L"user" + std::to_wstring(i)));
    }
    auto first = DomainSid(1);
    EXPECT_EQ(cache.Find(first.data(), first.size()), std::optional<std::wstring>(L"user1"));
    auto sid21 = DomainSid(21);
    ASSERT_TRUE(cache.Add(sid21.data(), sid21.size(), L"user21"));
    EXPECT_EQ(cache.count(), 20u);
    EXPECT_FALSE(cache.Find(first.data(), first.size()).has_value());
    auto second = DomainSid(2);
    EXPECT_EQ(cache.Find(second.data(), second.size()), std::optional<std::wstring>(L"user2"));
    EXPECT_EQ(cache.Find(sid21.data(), sid21.size()), std::optional<std::wstring>(L"user21"));

    // The same SID cached twice: the newer text wins.
    ASSERT_TRUE(cache.Add(second.data(), second.size(), L"renamed"));
    EXPECT_EQ(cache.Find(second.data(), second.size()), std::optional<std::wstring>(L"renamed"));

    lorvex::SidCache none(0);
    EXPECT_FALSE(none.Add(first.data(), first.size(), L"x"));
    EXPECT_FALSE(none.Find(first.data(), first.size()).has_value());
}

TEST(OleDate, CountsDaysFrom1899AndChecksTheCalendar) {
    EXPECT_EQ(lorvex::OleDateFromCalendar({1970, 1, 1, 0, 0, 0}), 25569.0);
    EXPECT_EQ(lorvex::OleDateFromCalendar({1899, 12, 30, 0, 0, 0}), 0.0);
    EXPECT_DOUBLE_EQ(*lorvex::OleDateFromCalendar({2000, 2, 29, 12, 0, 0}), 36585.5);
    EXPECT_DOUBLE_EQ(*lorvex::OleDateFromCalendar({2038, 1, 19, 3, 14, 7}), 50424.0 + (3 * 3600 + 14 * 60 + 7) / 86400.0);
    EXPECT_FALSE(lorvex::OleDateFromCalendar({1900, 2, 29, 0, 0, 0}));  // 1900 is not a leap year
    EXPECT_FALSE(lorvex::OleDateFromCalendar({2001, 4, 31, 0, 0, 0}));
    EXPECT_FALSE(lorvex::OleDateFromCalendar({10000, 1, 1, 0, 0, 0}));
    EXPECT_FALSE(lorvex::OleDateFromCalendar({2001, 1, 1, 24, 0, 0}));
    EXPECT_FALSE(lorvex::OleDateFromCalendar({2001, 13, 1, 0, 0, 0}));
}

}  // namespace
