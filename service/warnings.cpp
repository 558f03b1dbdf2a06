#include "warnings.h"

#include <windows.h>

#include "hollin.h"
#include "quenloc_messages.h"

namespace quenloc {

namespace {

// One line in the error log: line breaks and other control characters become blanks, and
// a system message's closing line break goes.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

const char kMailWarningStart[] = "Mail could not be sent: ";
const char kMailWarningEnd[] = " (The same error is written here again at most once an hour.)";

}  // namespace

void Warnings::WriteBestEffort(const std::vector<Warning>& texts) {
    std::string why, unwritten;
    for (const auto& [id, text] : texts) {
        try {
            write_(id, text);
        } catch (...) {
            trap::IgnoreErrors([&] {
                if (why.empty()) why = OneLine(trap::CurrentRunTimeError().description);
                unwritten += (unwritten.empty() ? "" : " | ") + text;
            });
        }
    }
    if (unwritten.empty() || named_in_error_log_) return;
    named_in_error_log_ = true;
    trap::IgnoreErrors([&] {
        trap::WriteErrorLogLine(OneLine("Warnings that could not be written to the Application log (" +
                                        (why.empty() ? std::string("no reason given") : why) + "): " + unwritten));
    });
}

void Warnings::MailFailed(const std::string& error) {
    trap::IgnoreErrors([&] {
        if (!mail_errors_.Allow(error, ::GetTickCount64())) return;
        WriteBestEffort({{QUENLOC_MAIL_FAILED, kMailWarningStart + error + kMailWarningEnd}});
    });
}

bool Warnings::WroteMailWarning(const std::string& text) const {
    const size_t start = sizeof(kMailWarningStart) - 1, end = sizeof(kMailWarningEnd) - 1;
    if (text.size() < start + end || text.compare(0, start, kMailWarningStart) != 0 ||
        text.compare(text.size() - end, end, kMailWarningEnd) != 0)
        return false;
    return mail_errors_.Said(text.substr(start, text.size() - start - end), ::GetTickCount64());
}

}  // namespace quenloc
