// Tests only: a layer at the switch that records every call reaching the event-log
// functions and passes it on unchanged, so that a test can assert what a reader asked
// the log for (direction, offset and size of each read, how many reads).
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/evtlog/evtapi.h"

namespace vantrel::evtapi {

struct RecordedCall {
    std::string function;  // "ReadEventLogA", "GetOldestEventLogRecord", ...
    HANDLE handle = nullptr;
    // ReadEventLogA only: its flags, record offset and buffer size as asked, and what it
    // answered in bytes read and bytes needed.
    DWORD flags = 0, offset = 0, size = 0, read = 0, needed = 0;
    bool ok = false;
    DWORD error = 0;  // the last error of a failed call
};

// Records from construction to destruction. One at a time per process; the calls of
// every thread are recorded.
class Recorder {
public:
    Recorder();
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    std::vector<RecordedCall> Calls() const;
    // The calls of one function only, in order.
    std::vector<RecordedCall> CallsOf(const std::string& function) const;
    void Forget();

    // Used by the recording functions.
    void Add(RecordedCall call);
    const Functions& next() const { return next_; }

private:
    Functions next_;
    mutable std::mutex lock_;
    std::vector<RecordedCall> calls_;
};

}  // namespace vantrel::evtapi
