#include "lost_message.h"

#include <windows.h>

#include "platform/evtlog/evtapi.h"
#include "platform/winapi/handles.h"
#include "sender_events.h"
#include "spool_file.h"
#include "syslogsend_messages.h"

namespace syslogsend {

namespace {

constexpr ULONGLONG kWarningIntervalMs = 60ull * 60 * 1000;
// In memory only (volatile): the tick count it holds starts again with the system.
constexpr char kStateKey[] = "SOFTWARE\\Vantrel\\syslogsend";
constexpr char kWarnedAt[] = "LostWarnedAt";
constexpr char kLostSince[] = "LostSinceWarning";

void CloseEventSource(HANDLE h) { vantrel::evtapi::Get().DeregisterEventSource(h); }
using EventSource = vantrel::UniqueHandle<vantrel::HandleTraits<HANDLE, CloseEventSource>>;

// The time as a QWORD, the count as a DWORD (which reg.exe shows, for an administrator).
template <class T>
bool ReadValue(HKEY key, const char* name, T& value) {
    DWORD type = 0, size = sizeof(value);
    return ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
           type == (sizeof(T) == 8 ? REG_QWORD : REG_DWORD) && size == sizeof(value);
}

template <class T>
void WriteValue(HKEY key, const char* name, T value) {
    ::RegSetValueExA(key, name, 0, sizeof(T) == 8 ? REG_QWORD : REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                     sizeof(value));
}

// The shared state, under its lock while it lives.
class SharedState {
public:
    explicit SharedState(bool create) : lock_(GlobalMutex("VantrelSyslogLostWarning")) {
        const DWORD wait = lock_ ? ::WaitForSingleObject(lock_.get(), 5000) : WAIT_FAILED;
        locked_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
        const REGSAM access = KEY_QUERY_VALUE | KEY_SET_VALUE;
        if (create)
            ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kStateKey, 0, nullptr, REG_OPTION_VOLATILE, access, nullptr,
                              key_.put(), nullptr);
        else
            ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kStateKey, 0, access, key_.put());
    }
    ~SharedState() {
        if (locked_) ::ReleaseMutex(lock_.get());
    }
    SharedState(const SharedState&) = delete;
    SharedState& operator=(const SharedState&) = delete;

    bool open() const { return static_cast<bool>(key_); }
    // Whether a warning is due now: none written yet, or the last one an interval ago.
    bool Due(ULONGLONG now) const {
        ULONGLONG at = 0;
        return !ReadValue(key_.get(), kWarnedAt, at) || now < at || now - at >= kWarningIntervalMs;
    }
    DWORD Unwritten() const {
        DWORD since = 0;
        ReadValue(key_.get(), kLostSince, since);
        return since;
    }
    void Written(ULONGLONG now) {
        WriteValue(key_.get(), kWarnedAt, now);
        WriteValue(key_.get(), kLostSince, DWORD{0});
    }
    void Unwritten(DWORD count) { WriteValue(key_.get(), kLostSince, count); }

private:
    vantrel::Handle lock_;
    bool locked_ = false;
    vantrel::RegKey key_;
};

std::string Messages(ULONGLONG n, const char* kind) {
    return std::to_string(n) + kind + (n == 1 ? " message was" : " messages were");
}

// This process's own loss already took its turn.
bool lost_here = false;

constexpr char kLimitNote[] =
    "\r\n(Lost messages are named here at most once an hour; the next warning counts those in between.)";

}  // namespace

void WriteWarning(unsigned long event_id, const std::string& text) {
    const auto& api = vantrel::evtapi::Get();
    EventSource source(api.RegisterEventSourceA(nullptr, kEventSource));
    if (!source) return;
    const char* strings[] = {text.c_str()};
    // Nowhere is left to say that the warning itself could not be written.
    api.ReportEventA(source.get(), EVENTLOG_WARNING_TYPE, 0, event_id, nullptr, 1, 0, strings, nullptr);
}


void ReportLost(const std::string& message, const std::string& why, bool debug) {
    lost_here = true;
    const std::string named = "A syslog message could be neither delivered nor kept, and is lost (" + why + "): " + message;
    if (debug) ::OutputDebugStringA(("syslogsend: " + named).c_str());
    std::string text = named;
    {
        SharedState state(true);
        const ULONGLONG now = ::GetTickCount64();
        // Where the shared state cannot be kept, every loss is written.
        if (state.open()) {
            const DWORD others = state.Unwritten();
            if (!state.Due(now)) {
                if (others != MAXDWORD) state.Unwritten(others + 1);
                return;
            }
            state.Written(now);
            if (others) text += "\r\n" + Messages(others, " other") + " lost the same way since the last such warning.";
        }
    }
    WriteWarning(SYSLOGSEND_MESSAGE_LOST, text + kLimitNote);
}

void ReportLostSinceWarning() {
    if (lost_here) return;
    // Nothing was ever lost since the system started: the common case costs one look.
    if (vantrel::RegKey key; ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kStateKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return;
    ULONGLONG others = 0;
    {
        SharedState state(false);
        const ULONGLONG now = ::GetTickCount64();
        if (!state.open() || !(others = state.Unwritten()) || !state.Due(now)) return;
        state.Written(now);
    }
    WriteWarning(SYSLOGSEND_MESSAGE_LOST, "Syslog messages could be neither delivered nor kept: " +
                                              Messages(others, "") + " lost since the last such warning." + kLimitNote);
}

}  // namespace syslogsend
