#include "event_log.h"

#include <olectl.h>

#include <mutex>
#include <new>

#include "classes.h"
#include "error_report.h"
#include "platform/evtlog/evtapi.h"
#include "platform/winapi/adopt.h"
#include "platform/winapi/connection_point.h"
#include "platform/winapi/oleauto.h"
#include "record_collection.h"

namespace lorvex {
namespace {

constexpr UINT kChangeMessage = WM_USER + 101;
constexpr char kWindowClass[] = "LorvexNotificationWindow";
// How often ReadRecord opens the log afresh after it changed between reads.
constexpr int kReadsAcrossChanges = 5;

std::wstring FromBstr(BSTR s) { return s ? std::wstring(s, ::SysStringLen(s)) : std::wstring(); }

HRESULT CopyOut(const std::wstring& s, BSTR* out) {
    *out = ::SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

LRESULT CALLBACK NotificationWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    } else if (msg == kChangeMessage) {
        if (auto* owner = reinterpret_cast<EventLog*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA)))
            vantrel::com::Barrier([&] { owner->FireOnEventLogChange(); });
        return 0;
    }
    return ::DefWindowProcA(hwnd, msg, wp, lp);
}

// The window class is registered once per process.
bool RegisterNotificationClass() {
    static std::mutex lock;
    static bool registered = false;
    std::lock_guard<std::mutex> hold(lock);
    if (registered) return true;
    WNDCLASSA wc{};
    wc.lpfnWndProc = NotificationWindowProc;
    wc.hInstance = vantrel::com::ModuleHandle() ? vantrel::com::ModuleHandle() : ::GetModuleHandleA(nullptr);
    wc.lpszClassName = kWindowClass;
    registered = ::RegisterClassA(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return registered;
}

}  // namespace

// The one connection point, for _IEventLogEvents; it lives and dies with its EventLog.
class EventLog::Point final : public vantrel::com::ConnectionPointBase {
public:
    explicit Point(EventLog* owner) : ConnectionPointBase(owner, DIID__IEventLogEvents), owner_(owner) {}
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return owner_->Advise(sink, cookie); });
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return owner_->Unadvise(cookie); });
    }

protected:
    std::vector<vantrel::com::Advised> Connections() const override { return vantrel::com::ListAdvised(owner_->sinks_); }

private:
    EventLog* owner_;
};

struct EventLog::ThreadStart {
    EventLog* owner;
    std::wstring computer_name;
    std::wstring source_name;
};

EventLog::EventLog() : reader_(CLSID_EventLog), point_(new Point(this)) {}

EventLog::~EventLog() {
    Close();
    StopNotification();
    sinks_.clear();
    delete point_;
}

HRESULT EventLog::Open() {
    if (reader_.is_open()) return S_OK;
    std::string name = source_name_.empty() ? std::string("Application") : vantrel::AnsiFromWide(source_name_);
    if (::lstrcmpiA(name.c_str(), "Security") == 0) privilege_.Enable("SeSecurityPrivilege");  // failure ignored
    AnsiArg computer(computer_name_);
    HANDLE h = vantrel::evtapi::Get().OpenEventLogA(computer.get(), name.c_str());
    if (!h) return ReportWin32Error(CLSID_EventLog, ::GetLastError(), "Error opening event log");
    reader_.Opened(h);
    return S_OK;
}

void EventLog::Close() {
    reader_.Close();
    privilege_.Restore();
}

STDMETHODIMP EventLog::get_hEventLog(long* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        if (!pVal) return ReportNullPointer(CLSID_EventLog);
        HRESULT hr = Open();
        if (FAILED(hr)) return hr;
        *pVal = static_cast<long>(reinterpret_cast<INT_PTR>(reader_.handle()));
        return S_OK;
    });
}

STDMETHODIMP EventLog::get_ComputerName(BSTR* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        if (!pVal) return ReportNullPointer(CLSID_EventLog);
        return CopyOut(computer_name_, pVal);
    });
}

STDMETHODIMP EventLog::put_ComputerName(BSTR newVal) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        computer_name_ = FromBstr(newVal);
        Close();
        return S_OK;
    });
}

STDMETHODIMP EventLog::get_SourceName(BSTR* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        if (!pVal) return ReportNullPointer(CLSID_EventLog);
        return CopyOut(source_name_, pVal);
    });
}

STDMETHODIMP EventLog::put_SourceName(BSTR newVal) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        source_name_ = FromBstr(newVal);
        Close();
        return S_OK;
    });
}

STDMETHODIMP EventLog::get_OldestRecordNumber(long* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        if (!pVal) return ReportNullPointer(CLSID_EventLog);
        HRESULT hr = Open();
        return FAILED(hr) ? hr : reader_.Oldest(pVal);
    });
}

STDMETHODIMP EventLog::get_RecordCount(long* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        if (!pVal) return ReportNullPointer(CLSID_EventLog);
        HRESULT hr = Open();
        return FAILED(hr) ? hr : reader_.Count(pVal);
    });
}

STDMETHODIMP EventLog::ReadRecord(long RecordNumber, IEventLogRecord** ppRecord) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        if (!ppRecord) return ReportNullPointer(CLSID_EventLog);
        *ppRecord = nullptr;
        // The log was cleared since this handle opened it: open it afresh and read again. A
        // log cleared again and again fails the read with that error rather than hang here.
        HRESULT hr = S_OK;
        for (int attempt = 0; attempt < kReadsAcrossChanges; ++attempt) {
            hr = Open();
            if (FAILED(hr)) return hr;
            hr = reader_.ReadRecord(RecordNumber, ppRecord);
            if (SUCCEEDED(hr) || HRESULT_CODE(hr) != ERROR_EVENTLOG_FILE_CHANGED) return hr;
            Close();
        }
        return hr;
    });
}

STDMETHODIMP EventLog::Backup(BSTR FileName) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        HRESULT hr = Open();
        return FAILED(hr) ? hr : reader_.Backup(FileName);
    });
}

STDMETHODIMP EventLog::Clear(VARIANT FileName) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        // Only a string that is not empty names a backup; anything else clears without one.
        vantrel::Variant arg;
        ::VariantCopyInd(arg.get(), &FileName);
        std::string backup;
        if (arg->vt == VT_BSTR && arg->bstrVal) backup = vantrel::AnsiFromWide(arg->bstrVal, ::SysStringLen(arg->bstrVal));
        HRESULT hr = Open();
        if (FAILED(hr)) return hr;
        if (!vantrel::evtapi::Get().ClearEventLogA(reader_.handle(), backup.empty() ? nullptr : backup.c_str()))
            return ReportWin32Error(CLSID_EventLog, ::GetLastError(), "Error clearing event log");
        return S_OK;
    });
}

STDMETHODIMP EventLog::EventLogRecords(VARIANT* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        if (!pVal) return ReportNullPointer(CLSID_EventLog);
        HRESULT hr = Open();
        if (FAILED(hr)) return hr;
        BoundReader reader;
        reader.log = this;
        return CreateRecordCollection(CLSID_EventLog, reader, pVal);
    });
}

STDMETHODIMP EventLog::get_MessageFileSearchOrder(LORVEX_MSG_FILE_SEARCH_ORDER* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        if (!pVal) return ReportNullPointer(CLSID_EventLog);
        *pVal = static_cast<LORVEX_MSG_FILE_SEARCH_ORDER>(reader_.search_order);
        return S_OK;
    });
}

STDMETHODIMP EventLog::put_MessageFileSearchOrder(LORVEX_MSG_FILE_SEARCH_ORDER newVal) {
    reader_.search_order = newVal;
    return S_OK;
}

STDMETHODIMP EventLog::get_ChangeCheckInterval(long* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        if (!pVal) return ReportNullPointer(CLSID_EventLog);
        *pVal = change_check_interval_;
        return S_OK;
    });
}

STDMETHODIMP EventLog::put_ChangeCheckInterval(long newVal) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        ::InterlockedExchange(&change_check_interval_, newVal < 500 ? 500 : newVal);
        return S_OK;
    });
}

STDMETHODIMP EventLog::get_CacheSize(long* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        if (!pVal) return ReportNullPointer(CLSID_EventLog);
        *pVal = reader_.cache_size();
        return S_OK;
    });
}

STDMETHODIMP EventLog::put_CacheSize(long newVal) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        reader_.set_cache_size(newVal);
        return S_OK;
    });
}

// Change notification --------------------------------------------------------------------

STDMETHODIMP EventLog::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        return vantrel::com::EnumeratePoints({point_}, ppEnum);
    });
}

STDMETHODIMP EventLog::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
    if (!ppCP) return E_POINTER;
    *ppCP = nullptr;
    if (riid != DIID__IEventLogEvents) return CONNECT_E_NOCONNECTION;
    *ppCP = point_;
    point_->AddRef();
    return S_OK;
}

HRESULT EventLog::Advise(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie) return E_POINTER;
    Microsoft::WRL::ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(DIID__IEventLogEvents, reinterpret_cast<void**>(events.GetAddressOf()))))
        return CONNECT_E_CANNOTCONNECT;
    try {
        sinks_.emplace_back(next_cookie_, events);
    } catch (const std::bad_alloc&) {
        return CONNECT_E_ADVISELIMIT;
    }
    if (sinks_.size() == 1) {
        HRESULT hr = StartNotification();
        if (FAILED(hr)) {
            sinks_.clear();
            return hr;
        }
    }
    *cookie = next_cookie_++;
    return S_OK;
}

HRESULT EventLog::Unadvise(DWORD cookie) {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->first != cookie) continue;
        sinks_.erase(it);
        if (sinks_.empty()) StopNotification();
        return S_OK;
    }
    return CONNECT_E_NOCONNECTION;
}

void EventLog::FireOnEventLogChange() {
    // A sink may disconnect itself or others while it is called: walk a copy.
    auto sinks = sinks_;
    for (auto& [cookie, sink] : sinks) {
        DISPPARAMS none{};
        VARIANT result;
        ::VariantInit(&result);
        sink->Invoke(DISPID_LORVEX_ONEVENTLOGCHANGE, IID_NULL, 0x0400, DISPATCH_METHOD, &none, &result, nullptr, nullptr);
        ::VariantClear(&result);
    }
}

HRESULT EventLog::StartNotification() {
    DWORD error = 0;
    const char* text = nullptr;
    if (!RegisterNotificationClass() ||
        !(window_ = ::CreateWindowExA(0, kWindowClass, "LorvexWindow", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                      nullptr, this))) {
        error = ::GetLastError();
        text = "Error creating window";
    } else if (!(stop_event_ = vantrel::Handle(::CreateEventA(nullptr, TRUE, FALSE, nullptr)))) {
        error = ::GetLastError();
        text = "Error creating the event log change notification event";
    } else {
        auto* start = new (std::nothrow) ThreadStart{this, computer_name_, source_name_};
        HANDLE thread = start ? ::CreateThread(nullptr, 0, NotificationThread, start, 0, nullptr) : nullptr;
        if (thread) {
            thread_ = vantrel::Handle(thread);
            return S_OK;
        }
        error = start ? ::GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
        delete start;
        text = "Error creating the event log change notification thread";
    }
    StopNotification();
    return ReportWin32Error(CLSID_EventLog, error, text);
}

void EventLog::StopNotification() {
    if (thread_) {
        ::SetEvent(stop_event_.get());
        ::WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
    }
    stop_event_.reset();
    if (window_) ::DestroyWindow(window_);
    window_ = nullptr;
}

DWORD WINAPI EventLog::NotificationThread(void* param) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(param));
    // Nothing may unwind out of the thread: without memory the notification just ends.
    vantrel::com::Barrier([&] { WatchForChanges(*start); });
    return 0;
}

void EventLog::WatchForChanges(const ThreadStart& start) {
    EventLog* owner = start.owner;
    const HWND window = owner->window_;
    const HANDLE stop = owner->stop_event_.get();

    // A private reader of the same log, as it was named when notification started; each
    // read fetches exactly one record. Released when the loop ends, which closes its
    // handle and puts back a privilege it enabled.
    Microsoft::WRL::ComPtr<EventLog> log = vantrel::com::Adopt(new EventLog());
    log->computer_name_ = start.computer_name;
    log->source_name_ = start.source_name;
    log->reader_.set_cache_size(0);
    if (FAILED(log->Open())) return;

    long oldest = 0, count = 0;
    if (FAILED(log->get_OldestRecordNumber(&oldest))) oldest = 0;
    if (FAILED(log->get_RecordCount(&count))) count = 0;
    Microsoft::WRL::ComPtr<IEventLogRecord> remembered;
    log->ReadRecord(oldest, &remembered);

    while (::WaitForSingleObject(stop, static_cast<DWORD>(owner->change_check_interval_)) != WAIT_OBJECT_0) {
        long now_oldest = 0, now_count = 0;
        if (FAILED(log->Open()) || FAILED(log->get_OldestRecordNumber(&now_oldest)) ||
            FAILED(log->get_RecordCount(&now_count)))
            continue;
        Microsoft::WRL::ComPtr<IEventLogRecord> current;
        bool changed = now_oldest != oldest || now_count != count;
        if (!changed) {
            if (!remembered) continue;
            DATE before = 0, after = 0;
            if (FAILED(log->ReadRecord(now_oldest, &current)) || FAILED(remembered->get_TimeWritten(&before)) ||
                FAILED(current->get_TimeWritten(&after)) || before == after)
                continue;
            changed = true;
        } else {
            log->ReadRecord(now_oldest, &current);
        }
        ::PostMessageA(window, kChangeMessage, 0, 0);
        oldest = now_oldest;
        count = now_count;
        remembered = current;
    }
}

HRESULT CreateEventLog(REFIID riid, void** ppv) { return vantrel::com::CreateObject<EventLog>(riid, ppv); }

}  // namespace lorvex
