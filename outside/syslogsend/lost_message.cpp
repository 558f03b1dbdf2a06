#include "lost_message.h"

#include <windows.h>

#include "platform/evtlog/evtapi.h"
#include "platform/winapi/handles.h"
#include "sender_events.h"
#include "spool_file.h"

namespace syslogsend {

namespace {

constexpr ULONGLONG kWarningIntervalMs = 60ull * 60 * 1000;
// In memory only (volatile): the tick count it holds starts again with the system.
constexpr char kStateKey[] = "SOFTWARE\\Vantrel\\syslogsend";
constexpr char kWarnedAt[] = "LostWarnedAt";
constexpr char kLostSince[] = "LostSinceWarning";

void CloseEventSource(HANDLE h) { vantrel::evtapi::Get().DeregisterEventSource(h); }
using EventSource = vantrel::UniqueHandle<vantrel::HandleTraits<HANDLE, CloseEventSource>>;

bool ReadCount(HKEY key, const char* name, ULONGLONG& value) {
    DWORD type = 0, size = sizeof(value);
    return ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
           type == REG_QWORD && size == sizeof(value);
}

void WriteCount(HKEY key, const char* name, ULONGLONG value) {
    ::RegSetValueExA(key, name, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// Whether this loss is to be written now, and how many went unwritten before it. Where the
// shared state cannot be kept, every loss is written.
bool TakeTurn(ULONGLONG& others) {
    others = 0;
    vantrel::Handle lock = GlobalMutex("VantrelSyslogLostWarning");
    const DWORD wait = lock ? ::WaitForSingleObject(lock.get(), 5000) : WAIT_FAILED;
    const bool locked = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    vantrel::RegKey key;
    bool turn = true;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kStateKey, 0, nullptr, REG_OPTION_VOLATILE,
                          KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.put(), nullptr) == ERROR_SUCCESS) {
        const ULONGLONG now = ::GetTickCount64();
        ULONGLONG at = 0, since = 0;
        ReadCount(key.get(), kLostSince, since);
        turn = !ReadCount(key.get(), kWarnedAt, at) || now < at || now - at >= kWarningIntervalMs;
        if (turn) {
            others = since;
            WriteCount(key.get(), kWarnedAt, now);
            WriteCount(key.get(), kLostSince, 0);
        } else {
            WriteCount(key.get(), kLostSince, since + 1);
        }
    }
    if (locked) ::ReleaseMutex(lock.get());
    return turn;
}

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
    const std::string named = "A syslog message could be neither delivered nor kept, and is lost (" + why + "): " + message;
    if (debug) ::OutputDebugStringA(("syslogsend: " + named).c_str());
    ULONGLONG others = 0;
    if (!TakeTurn(others)) return;
    std::string text = named;
    if (others)
        text += "\r\n" + std::to_string(others) + (others == 1 ? " other message was" : " other messages were") +
                " lost the same way since the last such warning.";
    text += "\r\n(Lost messages are named here at most once an hour; the next warning counts those in between.)";
    WriteWarning(kEventMessageLost, text);
}

}  // namespace syslogsend
