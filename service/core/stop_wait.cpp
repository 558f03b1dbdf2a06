#include "core/stop_wait.h"

#include <algorithm>

namespace quenloc {

namespace {

// The longest single wait, so that done() is asked again at least this often.
constexpr unsigned kLookAgainMs = 250;

}  // namespace

bool WaitBounded(const std::function<bool()>& done, const std::function<unsigned()>& elapsed_ms,
                 const std::function<void(unsigned)>& let_through, unsigned bound_ms) {
    while (!done()) {
        const unsigned waited = elapsed_ms();
        if (waited >= bound_ms) return false;
        let_through(std::min(bound_ms - waited, kLookAgainMs));
    }
    return true;
}

unsigned EntriesWaitBound(const std::string& configured_ms) {
    if (configured_ms.empty() || configured_ms.size() > 9) return kEntriesWaitAtEndMs;
    unsigned value = 0;
    for (char c : configured_ms) {
        if (c < '0' || c > '9') return kEntriesWaitAtEndMs;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return std::min(value, kEntriesWaitAtEndMs);
}

std::string UnnotifiedText(const std::vector<WaitingEntries>& left) {
    long total = 0;
    std::string parts;
    for (const auto& w : left) {
        if (w.count <= 0) continue;
        total += w.count;
        if (!parts.empty()) parts += "; ";
        parts += std::to_string(w.count) + " of the " + w.log + " log (" +
                 (w.first == w.last ? "record " + std::to_string(w.first)
                                    : "records " + std::to_string(w.first) + " to " + std::to_string(w.last)) +
                 ")";
    }
    if (!total) return {};
    return "Service stopped before " + std::to_string(total) + (total == 1 ? " entry was" : " entries were") +
           " notified: " + parts;
}

}  // namespace quenloc
