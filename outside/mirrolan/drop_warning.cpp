#include "drop_warning.h"

#include <windows.h>

#include "platform/evtlog/evtapi.h"
#include "platform/winapi/handles.h"
#include "platform/winapi/oleauto.h"

namespace mirrolan {

namespace {

constexpr DWORD kDroppedEventId = 1;

void CloseEventSource(HANDLE h) { vantrel::evtapi::Get().DeregisterEventSource(h); }
using EventSource = vantrel::UniqueHandle<vantrel::HandleTraits<HANDLE, CloseEventSource>>;

}  // namespace

void WarnDropped(const std::wstring& log_name, uint64_t dropped, size_t capacity) {
    try {
        const auto& api = vantrel::evtapi::Get();
        EventSource source(api.RegisterEventSourceA(nullptr, "Mirrolan"));
        if (!source) return;
        const std::string text = "Mirrolan dropped " + std::to_string(dropped) + " new entries of the " +
                                 vantrel::AnsiFromWide(log_name) + " log: " + std::to_string(capacity) +
                                 " entries were already waiting to be raised.";
        const char* strings[] = {text.c_str()};
        api.ReportEventA(source.get(), EVENTLOG_WARNING_TYPE, 0, kDroppedEventId, nullptr, 1, 0, strings, nullptr);
    } catch (const std::exception&) {
        // Out of memory for the text: the entries are lost either way.
    }
}

}  // namespace mirrolan
