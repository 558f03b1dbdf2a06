// The waits at the end of the program, on a clock the test moves: they end as soon as the
// work is done, never outlast their bound, and what is left is named once by log and
// record numbers.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/stop_wait.h"

namespace quenloc {
namespace {

// A clock that moves only when the wait lets messages through: each let-through takes the
// time it was allowed, and the work finishes after `work_ms`.
struct Schedule {
    unsigned now = 0;
    unsigned work_ms;
    std::vector<unsigned> waits;
    bool Run(unsigned bound) {
        return WaitBounded([&] { return now >= work_ms; }, [&] { return now; },
                           [&](unsigned most) {
                               waits.push_back(most);
                               now += most;
                           },
                           bound);
    }
};

TEST(StopWait, EndsWhenTheWorkIsDoneAndNeverOutlastsItsBound) {
    Schedule done_at_once{0, 0, {}};
    EXPECT_TRUE(done_at_once.Run(1000));
    EXPECT_TRUE(done_at_once.waits.empty());  // nothing waited for: no message loop at all

    Schedule quick{0, 600, {}};
    EXPECT_TRUE(quick.Run(20000));
    EXPECT_EQ(quick.now, 750u);  // asked again at least every 250 ms
    for (unsigned w : quick.waits) EXPECT_LE(w, 250u);

    Schedule slow{0, 5000, {}};
    EXPECT_FALSE(slow.Run(1100));
    EXPECT_EQ(slow.now, 1100u);  // the last wait is cut to what is left of the bound
    EXPECT_EQ(slow.waits.back(), 100u);
}

// The stop's wait for the entries taken, with the bound it uses (no setting, or the one a
// test sets). Each notification starts the sender, some 40 ms and far more on a busy
// machine: a burst of a few thousand entries goes out before STOPPED, but a full queue
// (10,000) may not hold the stop for more than five minutes. A test may shorten the
// wait; nothing lengthens it.
TEST(StopWait, TheEntriesWaitSeesABurstThroughButNotAFullQueue) {
    auto stop = [](unsigned work_ms, const std::string& setting) {
        Schedule s{0, work_ms, {}};
        const bool done = s.Run(EntriesWaitBound(setting));
        return std::make_pair(done, s.now);
    };
    EXPECT_EQ(stop(2000 * 40, ""), std::make_pair(true, 80000u));
    EXPECT_EQ(stop(2000 * 100, ""), std::make_pair(true, 200000u));  // a loaded machine
    const auto full = stop(10000 * 40, "");
    EXPECT_FALSE(full.first);
    EXPECT_LE(full.second, 300000u);
    EXPECT_EQ(stop(10000 * 40, "15000"), std::make_pair(false, 15000u));
    for (const char* longer_or_bad : {"900000", "99999999999", "15 s", "-1"})
        EXPECT_EQ(stop(10000 * 40, longer_or_bad), full) << longer_or_bad;
}

TEST(StopWait, NamesTheEntriesLeftByLogAndRecordNumbers) {
    EXPECT_EQ(UnnotifiedText({}), "");
    EXPECT_EQ(UnnotifiedText({{"System", 0, 0, 0}, {"Application", 0, 0, 0}}), "");
    EXPECT_EQ(UnnotifiedText({{"DNS Server", 1, 4711, 4711}}),
              "Service stopped before 1 entry was notified: 1 of the DNS Server log (record 4711)");
    // Entries the log overwrote before they were taken leave gaps: the count says how many.
    EXPECT_EQ(UnnotifiedText({{"Application", 0, 0, 0}, {"System", 30, 501, 537}, {"Security", 2, 9, 10}}),
              "Service stopped before 32 entries were notified: 30 of the System log (records 501 to 537); "
              "2 of the Security log (records 9 to 10)");
}

}  // namespace
}  // namespace quenloc
