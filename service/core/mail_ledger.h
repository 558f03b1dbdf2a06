// The mail handed to the mail control that it has not answered yet. The control answers
// every message once, sent or failed, in the order it was handed over; what is still
// unanswered when the program ends is named, never dropped in silence.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

namespace quenloc {

// How long the end of the program waits for queued mail: as long as Windows gives a
// service at shutdown.
constexpr unsigned kMailWaitAtEndMs = 20000;
// About how long the naming of unsent mail may grow before the rest is only counted.
constexpr size_t kMaxUnsentTextChars = 8000;

class MailLedger {
public:
    void Handed(const std::string& subject) { waiting_.push_back(subject); }
    // The oldest message got its outcome. An answer to nothing is ignored.
    void Answered() {
        if (!waiting_.empty()) waiting_.pop_front();
    }
    bool empty() const { return waiting_.empty(); }

    // One line naming the messages still waiting, by subject (the oldest first, the rest
    // counted once the line is long); empty when none is.
    std::string UnsentText() const;

private:
    std::deque<std::string> waiting_;
};

}  // namespace quenloc
