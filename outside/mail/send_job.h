// One queued message and its delivery, run on the control's worker thread.
#pragma once

#include <string>

namespace velmsendmail {

// The seven properties as they stood when SendMessage was called (UTF-16 as set).
struct SendJob {
    std::wstring server, from, to, subject, body, user, password;
};

// Sends the message; empty on success, else a readable text of what failed.
std::wstring Deliver(const SendJob& job);

}  // namespace velmsendmail
