#include "platform/evtlog/evtapi_recorder.h"

#include <atomic>
#include <stdexcept>
#include <utility>

namespace vantrel::evtapi {
namespace {

std::atomic<Recorder*> g_recorder{nullptr};

// Records a finished call; the caller's last error survives recording.
void Record(RecordedCall call, bool ok) {
    call.ok = ok;
    call.error = ok ? 0 : ::GetLastError();
    g_recorder.load()->Add(call);
    ::SetLastError(call.error);
}

RecordedCall CallOf(const char* function, HANDLE handle) {
    RecordedCall call;
    call.function = function;
    call.handle = handle;
    return call;
}

template <class F, class... Args>
BOOL Pass(const char* function, HANDLE handle, F Functions::*member, Args... args) {
    BOOL ok = (g_recorder.load()->next().*member)(args...);
    Record(CallOf(function, handle), ok != FALSE);
    return ok;
}

HANDLE Opened(const char* function, HANDLE h) {
    Record(CallOf(function, h), h != nullptr);
    return h;
}

HANDLE WINAPI Open(LPCSTR server, LPCSTR name) {
    return Opened("OpenEventLogA", g_recorder.load()->next().OpenEventLogA(server, name));
}
HANDLE WINAPI OpenBackup(LPCSTR server, LPCSTR file) {
    return Opened("OpenBackupEventLogA", g_recorder.load()->next().OpenBackupEventLogA(server, file));
}
HANDLE WINAPI Register(LPCSTR server, LPCSTR source) {
    return Opened("RegisterEventSourceA", g_recorder.load()->next().RegisterEventSourceA(server, source));
}
BOOL WINAPI Close(HANDLE h) { return Pass("CloseEventLog", h, &Functions::CloseEventLog, h); }
BOOL WINAPI Deregister(HANDLE h) { return Pass("DeregisterEventSource", h, &Functions::DeregisterEventSource, h); }
BOOL WINAPI Count(HANDLE h, PDWORD n) {
    return Pass("GetNumberOfEventLogRecords", h, &Functions::GetNumberOfEventLogRecords, h, n);
}
BOOL WINAPI Oldest(HANDLE h, PDWORD n) {
    return Pass("GetOldestEventLogRecord", h, &Functions::GetOldestEventLogRecord, h, n);
}
BOOL WINAPI Backup(HANDLE h, LPCSTR file) { return Pass("BackupEventLogA", h, &Functions::BackupEventLogA, h, file); }
BOOL WINAPI ClearLog(HANDLE h, LPCSTR file) { return Pass("ClearEventLogA", h, &Functions::ClearEventLogA, h, file); }
BOOL WINAPI Report(HANDLE h, WORD type, WORD category, DWORD id, PSID sid, WORD strings, DWORD data_size,
                   LPCSTR* texts, LPVOID data) {
    return Pass("ReportEventA", h, &Functions::ReportEventA, h, type, category, id, sid, strings, data_size, texts,
                data);
}
BOOL WINAPI Notify(HANDLE h, HANDLE event) {
    return Pass("NotifyChangeEventLog", h, &Functions::NotifyChangeEventLog, h, event);
}

BOOL WINAPI Read(HANDLE h, DWORD flags, DWORD offset, LPVOID buffer, DWORD size, DWORD* read, DWORD* needed) {
    BOOL ok = g_recorder.load()->next().ReadEventLogA(h, flags, offset, buffer, size, read, needed);
    RecordedCall call = CallOf("ReadEventLogA", h);
    call.flags = flags;
    call.offset = offset;
    call.size = size;
    call.read = read ? *read : 0;
    call.needed = needed ? *needed : 0;
    Record(call, ok != FALSE);
    return ok;
}

const Functions kRecording{Open, OpenBackup, Close, Read, Count, Oldest, Backup, ClearLog,
                           Register, Deregister, Report, Notify};

}  // namespace

Recorder::Recorder() : next_(Get()) {
    Recorder* none = nullptr;
    if (!g_recorder.compare_exchange_strong(none, this)) throw std::logic_error("one event-log recorder at a time");
    SetReplacement(&kRecording);
}

Recorder::~Recorder() {
    SetReplacement(nullptr);
    g_recorder.store(nullptr);
}

std::vector<RecordedCall> Recorder::Calls() const {
    std::lock_guard<std::mutex> hold(lock_);
    return calls_;
}

std::vector<RecordedCall> Recorder::CallsOf(const std::string& function) const {
    std::vector<RecordedCall> out;
    for (auto& c : Calls())
        if (c.function == function) out.push_back(c);
    return out;
}

void Recorder::Forget() {
    std::lock_guard<std::mutex> hold(lock_);
    calls_.clear();
}

void Recorder::Add(RecordedCall call) {
    std::lock_guard<std::mutex> hold(lock_);
    calls_.push_back(std::move(call));
}

}  // namespace vantrel::evtapi
