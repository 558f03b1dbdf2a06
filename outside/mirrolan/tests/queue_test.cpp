// The queue between a log and a slow client: order, its bound, and how an overflow is told.
#include <gtest/gtest.h>

#include <vector>

#include "core/entry_queue.h"

namespace mirrolan {
namespace {

std::vector<int> Drain(EntryQueue<int>& q) {
    std::vector<int> out;
    while (auto e = q.Next()) out.push_back(*e);
    return out;
}

TEST(EntryQueue, KeepsOrderUpToItsBoundAndDropsTheRest) {
    EntryQueue<int> q(3);
    for (int i = 1; i <= 5; ++i) q.Offer(i);
    EXPECT_TRUE(q.full());
    EXPECT_EQ(Drain(q), (std::vector<int>{1, 2, 3}));
    q.Offer(6);  // room again once entries were raised
    q.Offer(7);
    EXPECT_EQ(q.Next(), 6);
    q.Offer(8);
    EXPECT_EQ(Drain(q), (std::vector<int>{7, 8}));
    EXPECT_FALSE(q.Next());
}

TEST(EntryQueue, AnOverflowIsToldOnceWithItsWholeCountWhenItEnds) {
    EntryQueue<int> q(2);
    EXPECT_EQ(q.EndRound(), 0u);  // nothing dropped: nothing to tell
    for (int i = 0; i < 4; ++i) q.Offer(i);  // two dropped
    EXPECT_EQ(q.EndRound(), 0u);             // still overflowing as far as anyone knows
    q.Next();
    q.Offer(10);
    q.Drop();  // the next look drops again: same overflow
    EXPECT_EQ(q.EndRound(), 0u);
    EXPECT_EQ(q.EndRound(), 3u);  // a look without drops ends it
    EXPECT_EQ(q.EndRound(), 0u);  // told once
    Drain(q);
    q.Offer(1);
    q.Offer(2);
    q.Offer(3);  // a new overflow is told on its own
    EXPECT_EQ(q.EndRound(), 0u);
    EXPECT_EQ(q.EndRound(), 1u);
}

TEST(EntryQueue, ClearingInTheMiddleOfAnOverflowStillTellsIt) {
    EntryQueue<int> q(1);
    q.Offer(1);
    q.Offer(2);
    q.Drop();
    EXPECT_EQ(q.Clear(), 2u);
    EXPECT_TRUE(q.empty());
    EXPECT_EQ(q.EndRound(), 0u);
    EXPECT_EQ(q.Clear(), 0u);
}

}  // namespace
}  // namespace mirrolan
