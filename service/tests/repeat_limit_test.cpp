// A mail error is written the first time each distinct text comes, then at most once an
// hour for that text, and what is remembered stays bounded.
#include <gtest/gtest.h>

#include "core/repeat_limit.h"

namespace quenloc {
namespace {

TEST(RepeatLimit, EachTextOnceAnHour) {
    RepeatLimit limit(kHourMs);
    const uint64_t t0 = 5000;
    EXPECT_FALSE(limit.Said("refused", t0));
    EXPECT_TRUE(limit.Allow("refused", t0));
    EXPECT_FALSE(limit.Allow("refused", t0));
    EXPECT_TRUE(limit.Said("refused", t0 + kHourMs - 1));
    EXPECT_FALSE(limit.Said("refused", t0 + kHourMs));
    EXPECT_TRUE(limit.Allow("no STARTTLS", t0 + 1));  // another text is said at once
    EXPECT_FALSE(limit.Allow("refused", t0 + kHourMs - 1));
    EXPECT_TRUE(limit.Allow("refused", t0 + kHourMs));
    EXPECT_FALSE(limit.Allow("no STARTTLS", t0 + kHourMs));  // its hour began 1 ms later
    EXPECT_TRUE(limit.Allow("no STARTTLS", t0 + 1 + kHourMs));
    EXPECT_FALSE(limit.Allow("refused", t0 + kHourMs + 1000));  // a new hour from its last warning
    EXPECT_TRUE(limit.Allow("refused", t0 + 2 * kHourMs));
}

TEST(RepeatLimit, RemembersABoundedNumberOfTexts) {
    RepeatLimit limit(kHourMs, 3);
    EXPECT_TRUE(limit.Allow("a", 1));
    EXPECT_TRUE(limit.Allow("b", 2));
    EXPECT_TRUE(limit.Allow("c", 3));
    EXPECT_TRUE(limit.Allow("d", 4));   // "a", said longest ago, is forgotten
    EXPECT_FALSE(limit.Allow("b", 5));  // the others are still held back
    EXPECT_FALSE(limit.Allow("c", 6));
    EXPECT_FALSE(limit.Allow("d", 7));
    EXPECT_TRUE(limit.Allow("a", 8));
}

}  // namespace
}  // namespace quenloc
