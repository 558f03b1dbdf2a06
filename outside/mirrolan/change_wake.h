// Wakes a monitor's window as soon as the platform says its log changed, through the
// event-log switch's NotifyChangeEventLog. On Windows that notification comes at most once
// in five seconds, so the monitor's own interval stays; this only makes an entry written
// after a quiet spell go out at once.
#pragma once

#include <windows.h>

#include <string>

#include "platform/winapi/handles.h"

namespace mirrolan {

class ChangeWake {
public:
    ChangeWake() = default;
    ChangeWake(const ChangeWake&) = delete;
    ChangeWake& operator=(const ChangeWake&) = delete;
    ~ChangeWake() { Stop(); }

    // Posts `message` to `window` whenever the log changes. False when the platform gives
    // no notification for this log; the interval still finds every change.
    bool Start(const std::wstring& log_name, HWND window, UINT message);
    // Returns once no notification can post any more.
    void Stop();

private:
    static void CALLBACK Fired(void* self, BOOLEAN timed_out);

    HANDLE log_ = nullptr;
    vantrel::Handle event_;
    HANDLE wait_ = nullptr;
    HWND window_ = nullptr;
    UINT message_ = 0;
};

}  // namespace mirrolan
