#include "retention.h"

namespace lorvex {

Overwrite OverwriteFromRetention(uint32_t retention) {
    if (retention == 0) return {kOverwriteAsNeeded, 0};
    if (retention == 0xFFFFFFFFu) return {kNoOverwrite, 0};
    return {kOverwriteOlderThan, static_cast<int32_t>(retention)};
}

uint32_t RetentionFromOverwrite(const Overwrite& o) {
    if (o.mode == kOverwriteAsNeeded) return 0;
    if (o.mode == kNoOverwrite) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(o.period);
}

}  // namespace lorvex
