#include "mail_control.h"

#include <olectl.h>
#include <wrl/client.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "core/retry_plan.h"
#include "idl.h"
#include "platform/winapi/com_server.h"
#include "platform/winapi/message_window.h"
#include "platform/winapi/connection_point.h"
#include "platform/winapi/oleauto.h"
#include "message_numbers.h"
#include "retry_window.h"
#include "send_job.h"

using Microsoft::WRL::ComPtr;

namespace velmsendmail {

namespace {

constexpr DISPID kErrorEvent = DISPID_VELMSENDMAIL_ERROR;
constexpr DISPID kSendCompleteEvent = DISPID_VELMSENDMAIL_SENDCOMPLETE;
constexpr UINT kOutcomeMessage = WM_APP + 1;
const wchar_t kWindowClass[] = L"VelmSendmailNotify";

// One message on its way, and its tries so far.
struct Pending {
    ULONG number = 0;  // as IVelmSendmailNumbers names it
    SendJob job;
    uint64_t handed_ms = 0;
    unsigned window_seconds = 0;
    unsigned tries = 0;
    unsigned unanswered_ends = 0;
    uint64_t next_try_ms = 0;

    bool WindowOver(uint64_t now_ms) const { return now_ms >= handed_ms + uint64_t{window_seconds} * 1000; }
};

// What the worker thread and the control share. The worker owns nothing of the
// control: it only appends outcomes here and wakes the control's window.
struct Queue {
    std::mutex lock;
    std::condition_variable wake;
    std::deque<Pending> jobs;           // in the order handed over; the first is tried first
    struct Answer {
        ULONG number;
        std::wstring text;  // empty: sent
    };
    std::deque<Answer> outcomes;
    HWND window = nullptr;
    bool closing = false;
    bool worker_running = false;

    // With the lock held. A control that is gone hears nothing.
    void Tell(ULONG number, std::wstring outcome) {
        if (!window) return;
        outcomes.push_back({number, std::move(outcome)});
        ::PostMessageW(window, kOutcomeMessage, 0, 0);
    }
};

// Sends the messages in order. A failure that may pass puts the message back at the head
// until its window is over, so the ones behind it keep their order.
void Work(const std::shared_ptr<Queue>& q) {
    std::unique_lock<std::mutex> guard(q->lock);
    for (;;) {
        q->wake.wait(guard, [&] { return !q->jobs.empty() || q->closing; });
        if (q->jobs.empty()) break;
        uint64_t now = ::GetTickCount64();
        if (!q->closing && q->jobs.front().next_try_ms > now) {
            const uint64_t wait = q->jobs.front().next_try_ms - now;
            q->wake.wait_for(guard, std::chrono::milliseconds(wait), [&] { return q->closing; });
            continue;
        }
        Pending p = std::move(q->jobs.front());
        q->jobs.pop_front();
        guard.unlock();
        Outcome outcome = Deliver(p.job);
        ++p.tries;
        guard.lock();
        if (!outcome.passing) {
            q->Tell(p.number, std::move(outcome.text));
            continue;
        }
        // Another try of an end that went unanswered may be another copy: one more at most.
        if (outcome.unanswered_end && ++p.unanswered_ends >= kMostUnansweredEnds) {
            q->Tell(p.number, UnansweredEndMessage(outcome.text, p.tries));
            continue;
        }
        // A control that is gone still gets each queued mail tried, but not waited for:
        // once the server fails, the rest is dropped and the thread ends.
        if (q->closing) {
            q->jobs.clear();
            continue;
        }
        now = ::GetTickCount64();
        if (auto next = NextTry(p.handed_ms, now, p.tries, p.window_seconds)) {
            p.next_try_ms = *next;
            q->jobs.push_front(std::move(p));
            continue;
        }
        const std::wstring& last = outcome.text;
        q->Tell(p.number, GiveUpMessage(last, p.tries, p.window_seconds));
        // The server has just failed: the messages behind whose window is over as well are
        // given up now, rather than each waiting out a connection of its own.
        while (!q->jobs.empty() && q->jobs.front().window_seconds && q->jobs.front().WindowOver(now)) {
            q->Tell(q->jobs.front().number, GiveUpMessage(last, q->jobs.front().tries, q->jobs.front().window_seconds));
            q->jobs.pop_front();
        }
    }
    q->worker_running = false;
}

DWORD WINAPI WorkerThread(void* param) {
    {
        std::unique_ptr<std::shared_ptr<Queue>> q(static_cast<std::shared_ptr<Queue>*>(param));
        Work(*q);
    }
    // The thread holds its own reference to the module, so the module stays loaded until
    // the thread has left its code, however the control's client unloads it.
    ::FreeLibraryAndExitThread(vantrel::com::ModuleHandle(), 0);
}

// Starts the worker with a reference to this module; false when it cannot start.
bool StartWorker(const std::shared_ptr<Queue>& q) {
    HMODULE self = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&WorkerThread),
                              &self))
        return false;
    auto* param = new (std::nothrow) std::shared_ptr<Queue>(q);
    HANDLE thread = param ? ::CreateThread(nullptr, 0, WorkerThread, param, 0, nullptr) : nullptr;
    if (!thread) {
        delete param;
        ::FreeLibrary(self);
        return false;
    }
    ::CloseHandle(thread);
    return true;
}

class MailControl;

// The one connection point, for the event interface.
class EventPoint : public vantrel::com::ConnectionPointBase {
public:
    explicit EventPoint(IConnectionPointContainer* owner) : ConnectionPointBase(owner, DIID___VelmSendmail) {}
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!sink || !cookie) return E_POINTER;
            *cookie = 0;
            ComPtr<IDispatch> dispatch;
            if (FAILED(sink->QueryInterface(DIID___VelmSendmail, reinterpret_cast<void**>(dispatch.GetAddressOf()))) &&
                FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()))))
                return CONNECT_E_CANNOTCONNECT;
            *cookie = ++last_cookie_;
            sinks_[*cookie] = dispatch;
            return S_OK;
        });
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            return sinks_.erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
        });
    }

    void Fire(DISPID id, const std::wstring* text) {
        std::vector<ComPtr<IDispatch>> sinks;
        for (auto& s : sinks_) sinks.push_back(s.second);
        for (auto& sink : sinks) {
            vantrel::Variant arg;
            DISPPARAMS params{nullptr, nullptr, 0, 0};
            if (text) {
                arg->vt = VT_BSTR;
                arg->bstrVal = ::SysAllocStringLen(text->data(), static_cast<UINT>(text->size()));
                params.rgvarg = arg.get();
                params.cArgs = 1;
            }
            sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        }
    }

protected:
    std::vector<vantrel::com::Advised> Connections() const override { return vantrel::com::ListAdvised(sinks_); }

private:
    std::map<DWORD, ComPtr<IDispatch>> sinks_;
    DWORD last_cookie_ = 0;
};

class MailControl : public vantrel::com::Dual<_VelmSendmail, IConnectionPointContainer, IProvideClassInfo,
                                              IVelmSendmailRetry, IVelmSendmailNumbers> {
public:
    MailControl() : point_(this), queue_(std::make_shared<Queue>()) {
        window_ = vantrel::com::CreateMessageWindow(kWindowClass);
        if (window_) ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        queue_->window = window_;
    }
    ~MailControl() override {
        {
            std::lock_guard<std::mutex> guard(queue_->lock);
            queue_->window = nullptr;
            queue_->closing = true;
        }
        queue_->wake.notify_all();
        if (window_) ::DestroyWindow(window_);
    }

    // Properties keep what was last set.
    STDMETHODIMP get_Body(BSTR* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return Get(body_, v); });
    }
    STDMETHODIMP put_Body(BSTR v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return Put(body_, v); });
    }
    STDMETHODIMP get_Subject(BSTR* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return Get(subject_, v); });
    }
    STDMETHODIMP put_Subject(BSTR v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return Put(subject_, v); });
    }
    STDMETHODIMP get_Password(BSTR* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return Get(password_, v); });
    }
    STDMETHODIMP put_Password(BSTR v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return Put(password_, v); });
    }
    STDMETHODIMP get_UserName(BSTR* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return Get(user_, v); });
    }
    STDMETHODIMP put_UserName(BSTR v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return Put(user_, v); });
    }
    STDMETHODIMP get_SMTPServer(BSTR* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return Get(server_, v); });
    }
    STDMETHODIMP put_SMTPServer(BSTR v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return Put(server_, v); });
    }
    STDMETHODIMP get_FromEmail(BSTR* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return Get(from_, v); });
    }
    STDMETHODIMP put_FromEmail(BSTR v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return Put(from_, v); });
    }
    STDMETHODIMP get_ToEmail(BSTR* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return Get(to_, v); });
    }
    STDMETHODIMP put_ToEmail(BSTR v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return Put(to_, v); });
    }

    STDMETHODIMP SendMessage() override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!window_) {
                vantrel::com::SetErrorInfo(L"VelmSendmail", L"The control cannot report outcomes on this thread");
                return E_FAIL;
            }
            Pending p;
            p.number = last_number_ + 1;
            p.job = SendJob{server_, from_, to_, subject_, body_, user_, password_};
            p.handed_ms = ::GetTickCount64();
            p.window_seconds = window_seconds_ >= 0 ? static_cast<unsigned>(window_seconds_) : RetryWindowSeconds();
            {
                std::lock_guard<std::mutex> guard(queue_->lock);
                // Beyond the bound the message fails at once, through its event like any other.
                if (queue_->jobs.size() >= kQueueBound) {
                    queue_->Tell(p.number, QueueFullMessage());
                    last_number_ = p.number;
                    return S_OK;
                }
                queue_->jobs.push_back(std::move(p));
                if (!queue_->worker_running) {
                    if (!StartWorker(queue_)) {
                        queue_->jobs.pop_back();
                        vantrel::com::SetErrorInfo(L"VelmSendmail", L"Cannot start the sending thread");
                        return E_OUTOFMEMORY;
                    }
                    queue_->worker_running = true;
                }
                last_number_ = p.number;
            }
            queue_->wake.notify_all();
            return S_OK;
        });
    }

    // IVelmSendmailRetry
    STDMETHODIMP SetRetryWindow(ULONG seconds) override {
        if (seconds > kMaxRetryWindowSeconds) return E_INVALIDARG;
        window_seconds_ = static_cast<long>(seconds);
        return S_OK;
    }

    // IVelmSendmailNumbers
    STDMETHODIMP LastHanded(ULONG* number) override {
        if (!number) return E_POINTER;
        *number = last_number_;
        return S_OK;
    }
    STDMETHODIMP Answering(ULONG* number) override {
        if (!number) return E_POINTER;
        *number = answering_;
        return S_OK;
    }

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** e) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            return vantrel::com::EnumeratePoints({&point_}, e);
        });
    }
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** cp) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!cp) return E_POINTER;
            *cp = nullptr;
            if (riid != DIID___VelmSendmail) return CONNECT_E_NOCONNECTION;
            *cp = &point_;
            point_.AddRef();
            return S_OK;
        });
    }

    // IProvideClassInfo: how event clients find the source interface.
    STDMETHODIMP GetClassInfo(ITypeInfo** ti) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!ti) return E_POINTER;
            *ti = vantrel::com::ModuleTypeInfo(CLSID_VelmSendmail);
            if (!*ti) return TYPE_E_ELEMENTNOTFOUND;
            (*ti)->AddRef();
            return S_OK;
        });
    }

    // Raises every outcome the worker has finished, in order, on this thread.
    void DeliverOutcomes() {
        AddRef();  // a sink may drop its last reference from inside an event
        for (;;) {
            Queue::Answer outcome;
            {
                std::lock_guard<std::mutex> guard(queue_->lock);
                if (queue_->outcomes.empty()) break;
                outcome = std::move(queue_->outcomes.front());
                queue_->outcomes.pop_front();
            }
            // A sink that lets messages through may meet the next outcome inside this one.
            const ULONG outer = answering_;
            answering_ = outcome.number;
            if (outcome.text.empty()) point_.Fire(kSendCompleteEvent, nullptr);
            else point_.Fire(kErrorEvent, &outcome.text);
            answering_ = outer;
        }
        Release();
    }

private:
    static HRESULT Get(const std::wstring& s, BSTR* v) {
        if (!v) return E_POINTER;
        *v = ::SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
        return *v ? S_OK : E_OUTOFMEMORY;
    }
    static HRESULT Put(std::wstring& s, BSTR v) {
        s.assign(v ? v : L"", v ? ::SysStringLen(v) : 0);
        return S_OK;
    }

    std::wstring body_, subject_, password_, user_, server_, from_, to_;
    long window_seconds_ = -1;  // -1: the control's setting
    ULONG last_number_ = 0;
    ULONG answering_ = 0;
    EventPoint point_;
    std::shared_ptr<Queue> queue_;
    HWND window_ = nullptr;
};

LRESULT CALLBACK NotifyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kOutcomeMessage) {
        if (auto* control = reinterpret_cast<MailControl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
            vantrel::com::Barrier([&] { control->DeliverOutcomes(); });
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

bool RegisterWindowClass() {
    static const bool registered = vantrel::com::RegisterMessageWindowClass(kWindowClass, NotifyProc);
    return registered;
}

}  // namespace

HRESULT CreateMailControl(REFIID riid, void** ppv) {
    if (!RegisterWindowClass()) return HRESULT_FROM_WIN32(::GetLastError());
    return vantrel::com::CreateObject<MailControl>(riid, ppv);
}

}  // namespace velmsendmail
