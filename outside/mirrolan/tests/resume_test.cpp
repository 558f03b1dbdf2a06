// Where a monitor starts after its process ended: after the entry it raised last when the
// log still holds it, at the oldest entry when the log was cleared or wrapped past it,
// and at the newest after a clean stop, a first start or a mark it cannot read.
#include <gtest/gtest.h>

#include <map>

#include "core/resume_plan.h"

namespace mirrolan {
namespace {

const EntryStamp kRaised{1765360000, 7036, L"Service Control Manager"};
const EntryStamp kOther{1765360500, 1000, L"VtWriter"};

StoredMark Unclean(const std::wstring& entry) {
    StoredMark m;
    m.clean = {true, 0};
    m.last_entry = {true, entry};
    return m;
}

// A log whose entries `first`..`first + count - 1` all carry `stamp`, except those in `own`.
struct FakeLog {
    using Own = std::map<uint32_t, std::optional<EntryStamp>>;
    FakeLog(LogWindow w, EntryStamp s = kOther, Own o = {}) : window(w), stamp(std::move(s)), own(std::move(o)) {}
    LogWindow window;
    EntryStamp stamp;
    Own own;
    std::optional<EntryStamp> operator()(uint32_t n) const {
        auto it = own.find(n);
        return it != own.end() ? it->second : stamp;
    }
};

StartPlan Plan(const StoredMark& stored, const FakeLog& log) { return PlanStart(ReadPreviousEnd(stored), log.window, log); }

TEST(ResumePlan, AfterAnUncleanEndNothingTheLogStillHoldsIsSkipped) {
    const std::wstring mark = FormatEntry({90, kRaised});
    // Intact: the marked entry is still there; the start is after it.
    StartPlan p = Plan(Unclean(mark), {{50, 60}, kOther, {{90, kRaised}}});
    EXPECT_TRUE(p.resumed);
    EXPECT_EQ(p.next, 91u);
    EXPECT_EQ(p.overwritten, 0u);
    // Cleared, then fewer entries written than the mark's number.
    p = Plan(Unclean(mark), {{1, 10}});
    EXPECT_TRUE(p.resumed);
    EXPECT_EQ(p.next, 1u);
    EXPECT_EQ(p.overwritten, 0u);
    // Cleared, then more: another entry has the number now.
    p = Plan(Unclean(FormatEntry({11, kRaised})), {{1, 40}});
    EXPECT_EQ(p.next, 1u);
    EXPECT_EQ(p.overwritten, 0u);
    // Same source and event id a second later is another entry too.
    EntryStamp later = kRaised;
    later.time_written += 1;
    EXPECT_EQ(Plan(Unclean(FormatEntry({11, kRaised})), {{1, 40}, later}).next, 1u);
    // Cleared, nothing written since: everything from the first entry on.
    p = Plan(Unclean(mark), {{0, 0}});
    EXPECT_TRUE(p.resumed);
    EXPECT_EQ(p.next, 1u);
    // Wrapped past it: all it holds, and what it overwrote is counted.
    p = Plan(Unclean(mark), {{312, 779}});
    EXPECT_TRUE(p.resumed);
    EXPECT_EQ(p.next, 312u);
    EXPECT_EQ(p.overwritten, 221u);
    // Kept while the log was empty: every entry written since, none counted as lost.
    p = Plan(Unclean(L"0"), {{1, 5}});
    EXPECT_EQ(p.next, 1u);
    EXPECT_EQ(p.overwritten, 0u);
    // The entry under the number cannot be read: taken for the marked one rather than
    // raising the whole log again.
    EXPECT_EQ(Plan(Unclean(mark), {{50, 60}, kOther, {{90, std::nullopt}}}).next, 91u);
    EXPECT_FALSE(Plan(Unclean(mark), {{50, 60}}).unreadable);
}

TEST(ResumePlan, ACleanStopAFirstStartAndAnUnreadableMarkStartAtTheNewestEntry) {
    StoredMark clean = Unclean(FormatEntry({90, kRaised}));
    clean.clean.value = 1;
    StartPlan p = Plan(clean, {{1, 10}});
    EXPECT_FALSE(p.resumed);
    EXPECT_FALSE(p.unreadable);
    EXPECT_EQ(p.next, 11u);
    p = Plan(StoredMark{}, {{1, 10}});
    EXPECT_FALSE(p.resumed);
    EXPECT_FALSE(p.unreadable);
    EXPECT_EQ(p.next, 11u);

    // Each of these is told, never taken for a clean stop or a first start.
    std::vector<StoredMark> unreadable;
    unreadable.push_back(Unclean(L"90 1765360000"));  // a torn stamp
    unreadable.push_back(Unclean(L"ninety"));
    unreadable.emplace_back(Unclean(L""));
    unreadable.back().last_entry.value.reset();  // of another type
    StoredMark no_clean;
    no_clean.last_raised = {true, 90u};
    unreadable.push_back(no_clean);
    StoredMark bad_clean = Unclean(L"90");
    bad_clean.clean.value = 7;
    unreadable.push_back(bad_clean);
    bad_clean.clean.value.reset();
    unreadable.push_back(bad_clean);
    StoredMark nothing_raised;
    nothing_raised.clean = {true, 0u};
    unreadable.push_back(nothing_raised);
    for (size_t i = 0; i < unreadable.size(); ++i) {
        p = Plan(unreadable[i], {{1, 10}});
        EXPECT_TRUE(p.unreadable) << i;
        EXPECT_FALSE(p.resumed) << i;
        EXPECT_EQ(p.next, 11u) << i;
    }
}

// Installed servers keep "LastRaised" and "Clean" alone: an upgrade resumes from them.
TEST(ResumePlan, AMarkOfAnEarlierVersionStillResumes) {
    StoredMark old;
    old.clean = {true, 0u};
    old.last_raised = {true, 90u};
    StartPlan p = Plan(old, {{50, 60}});
    EXPECT_TRUE(p.resumed);
    EXPECT_EQ(p.next, 91u);
    p = Plan(old, {{312, 779}});
    EXPECT_EQ(p.next, 312u);
    EXPECT_EQ(p.overwritten, 221u);
    EXPECT_EQ(Plan(old, {{1, 10}}).next, 1u);
    old.clean.value = 1;
    EXPECT_FALSE(Plan(old, {{50, 60}}).resumed);
    // The new value wins over the number an earlier version may have left beside it.
    StoredMark both = Unclean(FormatEntry({95, kRaised}));
    both.last_raised = {true, 90u};
    EXPECT_EQ(Plan(both, {{50, 60}, kOther, {{95, kRaised}}}).next, 96u);
}

TEST(ResumePlan, TheKeptEntryReadsBackAndDamagedTextIsRefused) {
    for (const MarkedEntry& e : {MarkedEntry{0, std::nullopt}, MarkedEntry{4294967295u, kRaised},
                                 MarkedEntry{7, EntryStamp{0, 0, L"a b  c"}}}) {
        const auto back = ParseEntry(FormatEntry(e));
        ASSERT_TRUE(back) << FormatEntry(e);
        EXPECT_EQ(back->number, e.number);
        ASSERT_EQ(back->stamp.has_value(), e.stamp.has_value());
        if (e.stamp) {
            EXPECT_TRUE(*back->stamp == *e.stamp);
        }
    }
    for (const wchar_t* bad : {L"", L" 5", L"5 ", L"-5", L"4294967296", L"18446744073709551617", L"5 1 2", L"5 1 2 ",
                               L"5 x 2 Src", L"5 1 99999999999 Src", L"5 1 2 a\\b", L"5 1 2 a\nb", L"5\t1 2 Src"})
        EXPECT_FALSE(ParseEntry(bad)) << bad;
    EXPECT_FALSE(ParseEntry(L"5 1 2 " + std::wstring(257, L's')));
    // A source that would not read back is left out rather than making the mark unreadable.
    EXPECT_EQ(FormatEntry({7, EntryStamp{1, 2, L"two\nlines"}}), L"7");
}

}  // namespace
}  // namespace mirrolan
