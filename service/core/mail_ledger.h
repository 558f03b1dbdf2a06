// The mail handed to the mail control that it has not answered yet. The control answers
// every message once, sent or failed, but not always in the order it was handed over (a
// message that finds the control's queue full fails at once, ahead of older ones): each
// answer is matched to its own message by the number the control gives it. What is still
// unanswered when the program ends is named, never dropped in silence.
#pragma once

#include <cstddef>
#include <cstdint>
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
    // `number` is the control's number of the message; 0 when the control gives none.
    void Handed(uint32_t number, const std::string& subject) { waiting_.push_back({number, subject}); }
    // The message `number` got its outcome; 0 (a control without numbers): the oldest. An
    // answer to nothing waiting is ignored.
    void Answered(uint32_t number);
    bool empty() const { return waiting_.empty(); }

    // One line naming the messages still waiting, by subject (the oldest first, the rest
    // counted once the line is long); empty when none is.
    std::string UnsentText() const;

private:
    struct Waiting {
        uint32_t number;
        std::string subject;
    };
    std::deque<Waiting> waiting_;  // in the order handed over
};

}  // namespace quenloc
