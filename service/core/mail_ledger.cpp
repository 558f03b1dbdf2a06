#include "core/mail_ledger.h"

namespace quenloc {

std::string MailLedger::UnsentText() const {
    if (waiting_.empty()) return {};
    std::string text = "Service stopped before " + std::to_string(waiting_.size()) +
                       (waiting_.size() == 1 ? " mail was" : " mails were") + " sent: ";
    for (size_t i = 0; i < waiting_.size(); ++i) {
        if (i) text += "; ";
        text += "\"" + waiting_[i] + "\"";
    }
    return text;
}

}  // namespace quenloc
