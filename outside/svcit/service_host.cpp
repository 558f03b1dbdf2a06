#include "service_host.h"

#include <wrl/client.h>

#include <optional>
#include <string>

#include "core/status_sequence.h"
#include "event_point.h"
#include "lorvex.h"
#include "platform/winapi/com_server.h"
#include "platform/winapi/message_window.h"
#include "platform/winapi/handles.h"
#include "platform/winapi/oleauto.h"
#include "svcit.h"

namespace svcit {

namespace {

using Microsoft::WRL::ComPtr;

constexpr DISPID kStartEvent = DISPID_SVCIT_START;
constexpr DISPID kStopEvent = DISPID_SVCIT_STOP;
constexpr DISPID kMessageEvent = DISPID_SVCIT_MESSAGE;
constexpr UINT kStartMessage = WM_APP + 1;
constexpr UINT kStopMessage = WM_APP + 2;
constexpr UINT kNoServiceMessage = WM_APP + 3;
// While a start or stop is pending, the checkpoint moves once a second for as long as the
// program's thread lets messages through; a thread that hangs leaves it standing.
constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMs = 1000;
constexpr wchar_t kWindowClass[] = L"SvcItHostWindow";

class ServiceHost;

// What the dispatcher's threads share with the control's thread. One service per process.
struct Shared {
    CRITICAL_SECTION lock;
    HWND window = nullptr;
    SERVICE_STATUS_HANDLE status_handle = nullptr;
    StatusSequence sequence;
    HANDLE stopped = nullptr;  // set once STOPPED is reported; ServiceMain returns then
    std::string name;
    DWORD dispatcher_error = 0;
    Shared() {
        ::InitializeCriticalSection(&lock);
    }
};
Shared& State() {
    static Shared shared;
    return shared;
}

SERVICE_STATUS ToScm(const StatusReport& r) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = static_cast<DWORD>(r.state);
    status.dwControlsAccepted = r.accepts_stop ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWin32ExitCode = NO_ERROR;
    status.dwCheckPoint = r.check_point;
    status.dwWaitHint = r.wait_hint_ms;
    return status;
}

// Takes one step of the sequence under the lock and tells the SCM what it says.
template <class Step>
void Report(Step step) {
    Shared& s = State();
    ::EnterCriticalSection(&s.lock);
    std::optional<StatusReport> report = step(s.sequence);
    if (report && s.status_handle) {
        SERVICE_STATUS status = ToScm(*report);
        ::SetServiceStatus(s.status_handle, &status);
    }
    if (report && report->state == ServiceState::Stopped && s.stopped) ::SetEvent(s.stopped);
    ::LeaveCriticalSection(&s.lock);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
    Shared& s = State();
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        Report([](StatusSequence& q) { return q.StopAsked(); });
        ::PostMessageW(s.window, kStopMessage, 0, 0);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        Report([](StatusSequence& q) { return std::optional<StatusReport>(q.current()); });
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD argc, char** argv) {
    Shared& s = State();
    s.name = argc > 0 && argv[0] ? argv[0] : "";
    s.status_handle = ::RegisterServiceCtrlHandlerExA(s.name.c_str(), Handler, nullptr);
    if (!s.status_handle) return;
    Report([](StatusSequence& q) { return std::optional<StatusReport>(q.Starting()); });
    ::PostMessageW(s.window, kStartMessage, 0, 0);
    // The service lives until the control's thread has reported it stopped.
    ::WaitForSingleObject(s.stopped, INFINITE);
}

DWORD WINAPI DispatcherThread(void*) {
    char empty[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{empty, ServiceMain}, {nullptr, nullptr}};
    if (!::StartServiceCtrlDispatcherA(table)) {
        State().dispatcher_error = ::GetLastError();
        ::PostMessageW(State().window, kNoServiceMessage, 0, 0);
    }
    return 0;
}

std::wstring ProgramName() {
    wchar_t path[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full(path, n < MAX_PATH ? n : 0);
    size_t slash = full.find_last_of(L"\\/");
    return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

VARIANT Text(const std::wstring& text) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return v;
}

class ServiceHost final : public vantrel::com::Dual<ISvcIt, IConnectionPointContainer, ISvcItEventIds> {
public:
    ServiceHost() : point_(this, DIID__ISvcItEvents) {
        point_.OnAdvise([this] { StartDispatcher(); });
    }
    ~ServiceHost() override {
        // The SCM hears STOPPED only here, once the program has let go of the control: after
        // its Stop handler, the handlers that stop interrupted and its own shutdown have run.
        // A program that ends without a Stop request also leaves a stopped service.
        Report([](StatusSequence& q) { return q.Released(); });
        if (dispatcher_) ::WaitForSingleObject(dispatcher_.get(), 5000);
        Shared& s = State();
        if (window_) {
            ::KillTimer(window_, kTickTimer);
            ::DestroyWindow(window_);
        }
        if (s.window == window_) s.window = nullptr;
    }

    // Writes through Lorvex's EventSource, under the service's name as event source.
    STDMETHODIMP LogEvent(BSTR text, long type) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return LogEventWithId(text, type, 1); });
    }

    // ISvcItEventIds
    STDMETHODIMP LogEventWithId(BSTR text, long type, long event_id) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            ComPtr<IEventSource> source;
            HRESULT hr = ::CoCreateInstance(CLSID_EventSource, nullptr, CLSCTX_INPROC_SERVER, IID_IEventSource,
                                            reinterpret_cast<void**>(source.GetAddressOf()));
            if (FAILED(hr)) {
                vantrel::com::SetErrorInfo(L"SvcIt", L"Cannot create Lorvex.EventSource");
                return hr;
            }
            const std::string& name = State().name;
            vantrel::Bstr source_name(std::wstring(name.empty() ? L"Quenloc" : std::wstring(name.begin(), name.end())));
            if (FAILED(hr = source->put_SourceName(source_name.get()))) return hr;
            SAFEARRAYBOUND bound{1, 0};
            vantrel::SafeArray strings(::SafeArrayCreate(VT_VARIANT, 1, &bound));
            if (!strings.get()) return E_OUTOFMEMORY;
            LONG index = 0;
            vantrel::Variant item;
            *item.put() = Text(text ? std::wstring(text, ::SysStringLen(text)) : std::wstring());
            if (FAILED(hr = ::SafeArrayPutElement(strings.get(), &index, item.get()))) return hr;
            vantrel::Variant array;
            array->vt = VT_ARRAY | VT_VARIANT;
            array->parray = strings.release();
            vantrel::Variant no_data;
            no_data->vt = VT_ERROR;
            no_data->scode = DISP_E_PARAMNOTFOUND;
            switch (type) {
            case 0: return source->ReportInformation(event_id, *array.get(), *no_data.get());
            case 2: return source->ReportError(event_id, *array.get(), *no_data.get());
            default: return source->ReportWarning(event_id, *array.get(), *no_data.get());
            }
        });
    }

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** e) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            return vantrel::com::EnumeratePoints({&point_}, e);
        });
    }
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** cp) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            return vantrel::com::FindPoint(point_, DIID__ISvcItEvents, riid, cp);
        });
    }

    // The first sink to connect is the program's form: from then on it can take the
    // service's events, so the dispatcher starts.
    HRESULT StartDispatcher() {
        if (dispatcher_ || started_) return S_OK;
        started_ = true;
        Shared& s = State();
        if (s.window) return S_OK;  // one service per process
        window_ = vantrel::com::CreateMessageWindow(kWindowClass);
        if (!window_) return HRESULT_FROM_WIN32(::GetLastError());
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        s.window = window_;
        ::SetTimer(window_, kTickTimer, kTickMs, nullptr);
        if (!s.stopped) s.stopped = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE thread = ::CreateThread(nullptr, 0, DispatcherThread, nullptr, 0, nullptr);
        if (!thread) return HRESULT_FROM_WIN32(::GetLastError());
        dispatcher_ = vantrel::Handle(thread);
        return S_OK;
    }

    void OnMessage(UINT message) {
        ComPtr<ServiceHost> self(this);  // the Stop handler drops the program's reference
        Shared& s = State();
        switch (message) {
        case kStartMessage: {
            VARIANT name = Text(std::wstring(s.name.begin(), s.name.end()));
            point_.Fire(kStartEvent, {name});
            ::VariantClear(&name);
            Report([](StatusSequence& q) { return q.Started(); });
            break;
        }
        case kStopMessage:
            point_.Fire(kStopEvent);
            Report([](StatusSequence& q) { return q.StopHandled(); });
            break;
        case kNoServiceMessage: {
            std::wstring text = ProgramName() + L" is a Windows service and runs only when the Service Control "
                                                L"Manager starts it (sc start Quenloc). Error " +
                                std::to_wstring(s.dispatcher_error) + L".";
            VARIANT kind;
            kind.vt = VT_I4;
            kind.lVal = 0;
            VARIANT arg = Text(text);
            point_.Fire(kMessageEvent, {arg, kind});
            ::VariantClear(&arg);
            point_.Fire(kStopEvent);
            break;
        }
        }
    }

    vantrel::com::EventPoint& point() { return point_; }

private:
    vantrel::com::EventPoint point_;
    HWND window_ = nullptr;
    vantrel::Handle dispatcher_;
    bool started_ = false;
};

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TIMER && wp == kTickTimer) {
        Report([](StatusSequence& q) { return q.Tick(); });
        return 0;
    }
    if (msg == kStartMessage || msg == kStopMessage || msg == kNoServiceMessage) {
        if (auto* host = reinterpret_cast<ServiceHost*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
            vantrel::com::Barrier([&] { host->OnMessage(msg); });
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

bool RegisterWindowClass() {
    static const bool registered = vantrel::com::RegisterMessageWindowClass(kWindowClass, WindowProc);
    return registered;
}

}  // namespace

HRESULT CreateServiceHost(REFIID riid, void** ppv) {
    if (!RegisterWindowClass()) return HRESULT_FROM_WIN32(::GetLastError());
    return vantrel::com::CreateObject<ServiceHost>(riid, ppv);
}

}  // namespace svcit
