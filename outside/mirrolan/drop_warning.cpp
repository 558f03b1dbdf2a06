#include "drop_warning.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "mirrolan_messages.h"
#include "platform/evtlog/evtapi.h"
#include "platform/winapi/handles.h"
#include "platform/winapi/oleauto.h"

namespace mirrolan {

namespace {

constexpr DWORD kLostEventId = MIRROLAN_ENTRIES_LOST;
constexpr char kSource[] = "Mirrolan";
constexpr wchar_t kWarningLog[] = L"Application";
// Own warnings remembered; more than any monitor leaves unread for long.
constexpr size_t kRemembered = 512;

void CloseEventSource(HANDLE h) { vantrel::evtapi::Get().DeregisterEventSource(h); }
using EventSource = vantrel::UniqueHandle<vantrel::HandleTraits<HANDLE, CloseEventSource>>;
void CloseEventLog(HANDLE h) { vantrel::evtapi::Get().CloseEventLog(h); }
using EventLogHandle = vantrel::UniqueHandle<vantrel::HandleTraits<HANDLE, CloseEventLog>>;

std::mutex g_lock;
std::vector<uint64_t> g_own;  // record numbers in the Application log

bool IsWarningLog(const std::wstring& log_name) {
    return ::CompareStringOrdinal(log_name.c_str(), -1, kWarningLog, -1, TRUE) == CSTR_EQUAL;
}

// The newest record number of a log, 0 when it is empty or cannot be read.
uint64_t Newest(HANDLE log) {
    DWORD oldest = 0, count = 0;
    const auto& api = vantrel::evtapi::Get();
    if (!api.GetOldestEventLogRecord(log, &oldest) || !api.GetNumberOfEventLogRecords(log, &count) || !count)
        return 0;
    return uint64_t{oldest} + count - 1;
}

// Whether record `number` is our warning with this text.
bool IsOurs(HANDLE log, uint64_t number, const std::string& text) {
    std::vector<BYTE> buffer(0x10000);
    DWORD read = 0, needed = 0;
    if (!vantrel::evtapi::Get().ReadEventLogA(log, EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ,
                                              static_cast<DWORD>(number), buffer.data(),
                                              static_cast<DWORD>(buffer.size()), &read, &needed) ||
        read < sizeof(EVENTLOGRECORD))
        return false;
    const auto* r = reinterpret_cast<const EVENTLOGRECORD*>(buffer.data());
    const char* base = reinterpret_cast<const char*>(r);
    const size_t length = std::min<size_t>(r->Length, read);
    if (r->RecordNumber != number || r->EventID != kLostEventId || r->NumStrings < 1 ||
        length < sizeof(EVENTLOGRECORD) + sizeof kSource || r->StringOffset >= length)
        return false;
    if (std::memcmp(base + sizeof(EVENTLOGRECORD), kSource, sizeof kSource) != 0) return false;
    const size_t room = length - r->StringOffset;
    return text.size() < room && std::memcmp(base + r->StringOffset, text.c_str(), text.size() + 1) == 0;
}

// Finds the warning just written among the entries after `before` and remembers it.
void Remember(HANDLE log, uint64_t before, const std::string& text) {
    const uint64_t after = Newest(log);
    // Other programs may have written in between; a few looks find ours.
    for (uint64_t n = after; n > before && n + 64 > after; --n) {
        if (!IsOurs(log, n, text)) continue;
        std::lock_guard<std::mutex> guard(g_lock);
        if (g_own.size() >= kRemembered) g_own.erase(g_own.begin());
        g_own.push_back(n);
        return;
    }
}

}  // namespace

void WarnLost(const std::wstring& log_name, uint64_t lost, bool unknown_start) {
    try {
        const auto& api = vantrel::evtapi::Get();
        EventSource source(api.RegisterEventSourceA(nullptr, kSource));
        if (!source) return;
        const std::string name = vantrel::AnsiFromWide(log_name);
        const std::string text =
            unknown_start ? "Mirrolan could not read where it had stopped in the " + name +
                                " log: entries written while it was not running are not raised."
                          : "Mirrolan lost " + std::to_string(lost) + " new entries of the " + name +
                                " log before raising them.";
        EventLogHandle log(api.OpenEventLogA(nullptr, "Application"));
        const uint64_t before = log ? Newest(log.get()) : 0;
        const char* strings[] = {text.c_str()};
        if (api.ReportEventA(source.get(), EVENTLOG_WARNING_TYPE, 0, kLostEventId, nullptr, 1, 0, strings, nullptr) &&
            log)
            Remember(log.get(), before, text);
    } catch (const std::exception&) {
        // Out of memory for the text: the entries are lost either way.
    }
}

uint64_t OwnWarningsIn(const std::wstring& log_name, uint64_t first, uint64_t end) {
    if (!IsWarningLog(log_name)) return 0;
    std::lock_guard<std::mutex> guard(g_lock);
    uint64_t count = 0;
    g_own.erase(std::remove_if(g_own.begin(), g_own.end(),
                               [&](uint64_t n) {
                                   if (n >= end) return false;
                                   if (n >= first) ++count;
                                   return true;
                               }),
                g_own.end());
    return count;
}

bool IsOwnWarning(const std::wstring& log_name, uint64_t number) {
    if (!IsWarningLog(log_name)) return false;
    std::lock_guard<std::mutex> guard(g_lock);
    return std::find(g_own.begin(), g_own.end(), number) != g_own.end();
}

}  // namespace mirrolan
