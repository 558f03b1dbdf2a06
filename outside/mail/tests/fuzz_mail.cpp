// libFuzzer: whatever the event text, the composed message keeps its header block intact
// and its lines within SMTP's limit; whatever the server answers, the dialogue ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>

#include "core/mail_text.h"
#include "core/smtp_session.h"

namespace {

class Replies : public velmsendmail::SmtpChannel {
public:
    explicit Replies(const std::string& script) {
        size_t start = 0;
        while (start <= script.size()) {
            size_t end = script.find('\n', start);
            if (end == std::string::npos) end = script.size();
            lines_.push_back(script.substr(start, end - start));
            start = end + 1;
        }
    }
    bool Write(const std::string&, std::string&) override { return true; }
    bool ReadLine(std::string& line, std::string& error) override {
        if (lines_.empty()) {
            error = "closed";
            return false;
        }
        line = lines_.front();
        lines_.pop_front();
        return true;
    }
    bool StartTls(std::string&) override { return true; }

private:
    std::deque<std::string> lines_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    size_t cut = text.size() / 2;
    velmsendmail::MailFields f{"from@example.com", {"to@example.com"}, text.substr(0, cut), text.substr(cut),
                               "Wed, 09 Dec 2026 05:27:33 +0000", "<id@example.com>"};
    std::string m = velmsendmail::ComposeMessage(f);
    size_t header_end = m.find("\r\n\r\n");
    if (header_end == std::string::npos) std::abort();
    int fields = 0;
    for (size_t pos = 0; pos < m.size();) {
        size_t end = m.find("\r\n", pos);
        if (end == std::string::npos) end = m.size();
        std::string line = m.substr(pos, end - pos);
        if (line.size() > 998 || line.find('\r') != std::string::npos || line.find('\n') != std::string::npos)
            std::abort();
        if (pos < header_end && !line.empty() && line[0] != ' ') ++fields;
        pos = end + 2;
    }
    if (fields != 8) std::abort();
    for (const auto& r : velmsendmail::SplitRecipients(text))
        if (r.empty()) std::abort();
    // Invalid recipients are named in the outcome, never with a line break of their own.
    auto sorted = velmsendmail::SortRecipients(text);
    std::string outcome = velmsendmail::OutcomeText(velmsendmail::SessionResult{}, sorted.invalid);
    if (outcome.find_first_of("\r\n") != std::string::npos) std::abort();
    for (const auto& r : sorted.valid)
        if (!velmsendmail::IsValidAddress(r)) std::abort();
    velmsendmail::ParseServer(text);

    Replies replies(text);
    velmsendmail::Envelope e{"client", "f@x", {"a@x"}, cut % 2 ? "user" : "", "pw", m};
    velmsendmail::RunSession(replies, e);
    return 0;
}
