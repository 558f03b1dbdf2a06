// Which entries a monitor raises as the log grows, is cleared, or wraps.
#include <gtest/gtest.h>

#include <vector>

#include "core/read_position.h"

namespace mirrolan {
namespace {

std::vector<uint32_t> TakeAll(ReadPosition& p, LogWindow w) {
    std::vector<uint32_t> out;
    while (auto n = p.Take(w)) out.push_back(*n);
    return out;
}

TEST(ReadPosition, OnlyEntriesWrittenAfterTheStartInOrderOnce) {
    ReadPosition p({1, 5});
    EXPECT_TRUE(TakeAll(p, {1, 5}).empty());
    EXPECT_EQ(TakeAll(p, {1, 8}), (std::vector<uint32_t>{6, 7, 8}));  // several within one check
    EXPECT_TRUE(TakeAll(p, {1, 8}).empty());
    EXPECT_EQ(TakeAll(p, {1, 9}), std::vector<uint32_t>{9});
}

TEST(ReadPosition, EmptyLogAtStart) {
    ReadPosition p({0, 0});
    EXPECT_TRUE(TakeAll(p, {0, 0}).empty());
    EXPECT_EQ(TakeAll(p, {1, 2}), (std::vector<uint32_t>{1, 2}));
}

TEST(ReadPosition, WrappedLogSkipsOnlyWhatWasOverwritten) {
    ReadPosition p({100, 10});  // next is 110
    EXPECT_EQ(TakeAll(p, {103, 10}), (std::vector<uint32_t>{110, 111, 112}));
    const Gap gap = p.Sync({130, 10});  // 113 to 129 went unread
    EXPECT_EQ(gap.first, 113u);
    EXPECT_EQ(gap.size(), 17u);
    EXPECT_EQ(TakeAll(p, {130, 10}), (std::vector<uint32_t>{130, 131, 132, 133, 134, 135, 136, 137, 138, 139}));
    EXPECT_EQ(p.Sync({0, 0}).size(), 0u);  // a clear loses nothing unread
    EXPECT_EQ(p.Sync({1, 5}).size(), 0u);
}

TEST(ReadPosition, ClearedLogStartsAgainAtItsOldestEntry) {
    ReadPosition p({1, 50});
    EXPECT_TRUE(TakeAll(p, {0, 0}).empty());  // seen empty
    EXPECT_EQ(TakeAll(p, {1, 2}), (std::vector<uint32_t>{1, 2}));
    ReadPosition q({1, 50});
    EXPECT_EQ(TakeAll(q, {1, 3}), (std::vector<uint32_t>{1, 2, 3}));  // cleared and refilled between checks
}

TEST(ReadPosition, NumbersNearTheTopDoNotOverflow) {
    ReadPosition p({0xFFFFFFF0u, 15});
    EXPECT_EQ(TakeAll(p, {0xFFFFFFF0u, 16}), std::vector<uint32_t>{0xFFFFFFFFu});
    EXPECT_TRUE(TakeAll(p, {0xFFFFFFF0u, 16}).empty());
}

}  // namespace
}  // namespace mirrolan
