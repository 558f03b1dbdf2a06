// One queued message and its delivery, run on the control's worker thread.
#pragma once

#include <string>

namespace velmsendmail {

// The seven properties as they stood when SendMessage was called (UTF-16 as set).
struct SendJob {
    std::wstring server, from, to, subject, body, user, password;
};

struct Outcome {
    std::wstring text;     // empty: sent; else a readable text of what failed
    bool passing = false;  // the failure may pass: worth another try later
    bool unanswered_end = false;  // the whole message went out, its end unanswered
};

// Sends the message once.
Outcome Deliver(const SendJob& job);

// The window (seconds) in which a failed message is tried again: DWORD
// "RetryWindowSeconds" under the control's key, 0 to 3600, else the default.
unsigned RetryWindowSeconds();

// The Error texts of a message given up after its tries, and of one that finds the
// queue full.
std::wstring GiveUpMessage(const std::wstring& last_error, unsigned tries, unsigned window_seconds);
std::wstring UnansweredEndMessage(const std::wstring& last_error, unsigned tries);
std::wstring QueueFullMessage();

}  // namespace velmsendmail
