#include "repeat_limit.h"

#include <algorithm>

namespace quenloc {

bool RepeatLimit::Allow(const std::string& text, uint64_t now_ms) {
    for (auto it = said_.begin(); it != said_.end();) {
        if (now_ms - it->second >= interval_ms_) it = said_.erase(it);
        else ++it;
    }
    if (said_.count(text)) return false;
    if (said_.size() >= max_texts_) {
        said_.erase(std::min_element(said_.begin(), said_.end(),
                                     [](const auto& a, const auto& b) { return a.second < b.second; }));
    }
    said_[text] = now_ms;
    return true;
}

bool RepeatLimit::Said(const std::string& text, uint64_t now_ms) const {
    auto it = said_.find(text);
    return it != said_.end() && now_ms - it->second < interval_ms_;
}

}  // namespace quenloc
