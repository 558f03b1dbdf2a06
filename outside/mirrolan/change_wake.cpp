#include "change_wake.h"

#include "platform/evtlog/evtapi.h"
#include "platform/winapi/oleauto.h"

namespace mirrolan {

bool ChangeWake::Start(const std::wstring& log_name, HWND window, UINT message) {
    Stop();
    const auto& api = vantrel::evtapi::Get();
    std::string name;
    try {
        name = vantrel::AnsiFromWide(log_name);
    } catch (const std::exception&) {
        return false;
    }
    window_ = window;
    message_ = message;
    event_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    log_ = api.OpenEventLogA(nullptr, name.c_str());
    // The platform pulses the event: a thread must be waiting on it when it comes, which
    // the thread pool's wait does.
    if (!event_ || !log_ || !api.NotifyChangeEventLog(log_, event_.get()) ||
        !::RegisterWaitForSingleObject(&wait_, event_.get(), Fired, this, INFINITE, WT_EXECUTEINWAITTHREAD)) {
        wait_ = nullptr;
        Stop();
        return false;
    }
    return true;
}

void ChangeWake::Stop() {
    if (wait_) ::UnregisterWaitEx(wait_, INVALID_HANDLE_VALUE);
    wait_ = nullptr;
    if (log_) vantrel::evtapi::Get().CloseEventLog(log_);
    log_ = nullptr;
    event_.reset();
}

void CALLBACK ChangeWake::Fired(void* self, BOOLEAN) {
    auto* wake = static_cast<ChangeWake*>(self);
    ::PostMessageW(wake->window_, wake->message_, 0, 0);
}

}  // namespace mirrolan
