// The "Retention" value of a log as an overwrite mode and period, both ways.
#pragma once

#include <cstdint>

namespace lorvex {

constexpr int32_t kOverwriteAsNeeded = 0;
constexpr int32_t kOverwriteOlderThan = 1;
constexpr int32_t kNoOverwrite = -1;

struct Overwrite {
    int32_t mode;
    int32_t period;
};

// 0 is "as needed", all bits set is "never", anything else "older than" that many seconds.
Overwrite OverwriteFromRetention(uint32_t retention);

// The value to write for a mode and period. A mode other than the three known ones keeps
// the period, like "older than": readers of the value know no other meaning.
uint32_t RetentionFromOverwrite(const Overwrite& o);

}  // namespace lorvex
