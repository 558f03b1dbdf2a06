// The service's own warnings in the Application log at start and for failed mail. They are
// best-effort: a log that is full and set never to overwrite is an ordinary state of a
// server, and a warning that cannot be written must never stop the start or a handler.
// What could not be written goes to the error log instead, once per run.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/repeat_limit.h"

namespace quenloc {

// A warning and the id of its message in the event source's message file.
struct Warning {
    unsigned long id;
    std::string text;
};

class Warnings {
public:
    // `write` writes one warning to the Application log and raises its failure.
    explicit Warnings(std::function<void(unsigned long, const std::string&)> write) : write_(std::move(write)) {}

    // Writes each text; raises nothing.
    void WriteBestEffort(const std::vector<Warning>& texts);

    // The mail control's error: the first time each distinct text comes in this run, then
    // at most once an hour for that text. Raises nothing.
    void MailFailed(const std::string& error);
    // True when `text` is a warning MailFailed wrote within the hour: an entry of the
    // service's own that says mail fails, which is not to be mailed (it would fail again,
    // and write another).
    bool WroteMailWarning(const std::string& text) const;

private:
    std::function<void(unsigned long, const std::string&)> write_;
    bool named_in_error_log_ = false;
    RepeatLimit mail_errors_{kHourMs};
};

}  // namespace quenloc
