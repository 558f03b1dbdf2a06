#include "core/mail_ledger.h"

#include <algorithm>

namespace quenloc {

void MailLedger::Answered(uint32_t number) {
    auto it = number ? std::find_if(waiting_.begin(), waiting_.end(), [&](const Waiting& w) { return w.number == number; })
                     : waiting_.begin();
    if (it != waiting_.end()) waiting_.erase(it);
}

std::string MailLedger::UnsentText() const {
    if (waiting_.empty()) return {};
    std::string text = "Service stopped before " + std::to_string(waiting_.size()) +
                       (waiting_.size() == 1 ? " mail was" : " mails were") + " sent: ";
    // The line goes to the Application log and through the syslog sender's command line,
    // both limited to some 32,000 characters: a long queue is named by its oldest mails.
    for (size_t i = 0; i < waiting_.size(); ++i) {
        const std::string named = (i ? "; \"" : "\"") + waiting_[i].subject + "\"";
        if (i && text.size() + named.size() > kMaxUnsentTextChars) {
            text += "; and " + std::to_string(waiting_.size() - i) + " more";
            break;
        }
        text += named;
    }
    return text;
}

}  // namespace quenloc
