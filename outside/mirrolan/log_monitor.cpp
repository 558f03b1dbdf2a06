#include "log_monitor.h"

#include <wrl/client.h>

#include <memory>
#include <string>

#include "core/entry_queue.h"
#include "core/read_position.h"
#include "core/resume_plan.h"
#include "change_wake.h"
#include "drop_warning.h"
#include "record_stamp.h"
#include "resume_mark.h"
#include "event_point.h"
#include "lorvex.h"
#include "mirrolan_idl.h"
#include "platform/winapi/com_server.h"
#include "platform/winapi/handles.h"
#include "platform/winapi/message_window.h"
#include "platform/winapi/oleauto.h"

namespace mirrolan {

namespace {

using Microsoft::WRL::ComPtr;

constexpr DISPID kNewLogEntry = DISPID_MIRROLAN_NEWLOGENTRY;
constexpr DISPID kOnEventLogChange = DISPID_LORVEX_ONEVENTLOGCHANGE;
// The shortest interval Lorvex allows between two checks of a log.
constexpr long kCheckInterval = 500;
// Entries taken and not raised yet. More than a log of the default size (512 KB) can hold,
// so only a client far behind on a much larger log ever meets the bound; then the rest
// wait in the log.
constexpr size_t kQueueCapacity = 10000;

// Each entry is raised from a message of its own to the monitor's window, so that the
// client's thread handles whatever else was posted (a stop request, another log's entries)
// between two entries rather than after the whole queue. Once the monitor has stopped
// following its log, the rest go out on a timer instead: timers come after every posted
// message, so a stopping client's own timers, its end and its waits still get their turn.
constexpr UINT kRaiseMessage = WM_APP + 1;
constexpr UINT_PTR kRaiseTimer = 2;
// The platform's change notification for the log arrived (see ChangeWake).
constexpr UINT kChangeMessage = WM_APP + 2;
// Lorvex's checking thread takes its first look at the log some time after the start, so
// an entry written in between raises no change event of its own. One check of ours after
// the first interval catches it.
constexpr UINT_PTR kCatchUpTimer = 1;
// Tells a loss once the looks that follow it have lost nothing more.
constexpr UINT_PTR kLossTimer = 3;
// The last entry raised is kept at most this often (and at a clean stop).
constexpr UINT_PTR kSaveTimer = 4;
constexpr ULONGLONG kSaveSpacing = 1000;
constexpr wchar_t kWindowClass[] = L"MirrolanMonitorWindow";

class LogMonitor;

void DestroyWindowOf(HWND w) { ::DestroyWindow(w); }
using Window = vantrel::UniqueHandle<vantrel::HandleTraits<HWND, DestroyWindowOf>>;

LRESULT CALLBACK MonitorWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);


// Receives OnEventLogChange from the followed EventLog. It holds the monitor weakly: the
// monitor owns the EventLog, which owns this sink.
class ChangeSink final : public vantrel::com::Object<vantrel::com::Chain<_IEventLogEvents, IDispatch>> {
public:
    explicit ChangeSink(LogMonitor* owner) : owner_(owner) {}
    void Detach() { owner_ = nullptr; }

    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;

private:
    vantrel::com::ObjectCount count_;
    LogMonitor* owner_;
};

class LogMonitor final : public vantrel::com::Dual<_Mirrolan, IConnectionPointContainer, IMirrolanDrain> {
public:
    LogMonitor() : point_(this, DIID___Mirrolan) {}
    ~LogMonitor() override { Stop(); }

    STDMETHODIMP StartMonitoring(BSTR log_name) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            Stop();
            ComPtr<IEventLog> log;
            HRESULT hr = ::CoCreateInstance(CLSID_EventLog, nullptr, CLSCTX_INPROC_SERVER, IID_IEventLog,
                                            reinterpret_cast<void**>(log.GetAddressOf()));
            if (FAILED(hr)) return Fail(hr, L"Cannot create Lorvex.EventLog");
            vantrel::Bstr name(log_name ? log_name : L"");
            if (FAILED(hr = log->put_SourceName(name.get()))) return Fail(hr, nullptr);
            if (FAILED(hr = log->put_ChangeCheckInterval(kCheckInterval))) return Fail(hr, nullptr);
            LogWindow now;
            if (FAILED(hr = ReadWindow(log.Get(), now))) return Fail(hr, nullptr);
            // After an end that was not clean, what the log holds after the last entry
            // raised comes first; else only what is written from now on.
            auto mark = std::make_unique<ResumeMark>(name.str());
            const StartPlan plan = PlanStart(mark->Previous(), now, [&](uint32_t n) { return StampAt(log.Get(), n); });
            const ReadPosition position = ReadPosition::At(plan.next);
            if (!vantrel::com::RegisterMessageWindowClass(kWindowClass, MonitorWindowProc))
                return Fail(HRESULT_FROM_WIN32(::GetLastError()), L"Cannot register the monitor's window class");
            Window window(vantrel::com::CreateMessageWindow(kWindowClass));
            if (!window) return Fail(HRESULT_FROM_WIN32(::GetLastError()), L"Cannot create the monitor's window");

            ComPtr<IConnectionPointContainer> container;
            ComPtr<IConnectionPoint> point;
            if (FAILED(hr = log.As(&container)) ||
                FAILED(hr = container->FindConnectionPoint(DIID__IEventLogEvents, point.GetAddressOf())))
                return Fail(hr, L"Lorvex.EventLog has no change events");
            auto* sink = new ChangeSink(this);
            DWORD cookie = 0;
            hr = point->Advise(sink, &cookie);
            if (FAILED(hr)) {
                sink->Detach();
                sink->Release();
                return Fail(hr, nullptr);
            }
            try {
                log_name_ = name.str();
            } catch (const std::bad_alloc&) {
                point->Unadvise(cookie);
                sink->Detach();
                sink->Release();
                return E_OUTOFMEMORY;
            }
            log_ = log;
            point_of_log_ = point;
            sink_ = sink;
            cookie_ = cookie;
            position_ = position;
            window_ = std::move(window);
            ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            ::SetTimer(window_.get(), kCatchUpTimer, 2 * kCheckInterval, nullptr);
            // Without the platform's notification the interval alone finds each change.
            wake_.Start(log_name_, window_.get(), kChangeMessage);
            last_raised_ = static_cast<uint32_t>(position_.next() - 1);
            last_record_.Reset();
            if (now.count && last_raised_ >= now.oldest)
                log_->ReadRecord(static_cast<long>(last_raised_), last_record_.GetAddressOf());
            mark_ = std::move(mark);
            mark_->Save(Marked(), false);
            last_save_ = ::GetTickCount64();
            if (plan.unreadable) WarnLost(log_name_, 0, true);
            queue_.Drop(plan.overwritten);
            if (plan.resumed) OnChange();
            return S_OK;
        });
    }

    // The client is stopping: whatever the log holds now is taken, and nothing after it.
    // The entries taken go on being raised as the client's thread lets messages through;
    // those a full queue could not take are lost, and told.
    STDMETHODIMP StopMonitoring() override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            TakeNewEntries();
            CountUntaken();
            Unfollow();
            ScheduleRaise();
            return S_OK;
        });
    }

    STDMETHODIMP Waiting(long* count, long* first, long* last) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!count || !first || !last) return E_POINTER;
            *count = static_cast<long>(queue_.size());
            *first = *last = 0;
            if (queue_.empty()) return S_OK;
            HRESULT hr = queue_.front()->get_RecordNumber(first);
            return SUCCEEDED(hr) ? queue_.back()->get_RecordNumber(last) : hr;
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
            return vantrel::com::FindPoint(point_, DIID___Mirrolan, riid, cp);
        });
    }

    // The log changed. New entries are taken out of the log at once, before any of them is
    // raised: a slow client must not leave them in a log that may overwrite them.
    void OnChange() {
        TakeNewEntries();
        ScheduleRaise();
    }

    // Raises the oldest entry taken. A raise message that arrives while a handler runs (it
    // let messages through) raises nothing: the raise under way asks for the next one when
    // its handler has returned, so entries go out one at a time in record order.
    void RaiseOne() {
        if (raise_scheduled_ && !log_) ::KillTimer(window_.get(), kRaiseTimer);
        raise_scheduled_ = false;
        if (raising_) return;
        ComPtr<LogMonitor> self(this);  // a handler may drop the client's last reference
        auto record = queue_.Next();
        if (!record) return;
        {
            raising_ = true;
            struct Lower {
                bool& flag;
                ~Lower() { flag = false; }
            } lower{raising_};
            VARIANT arg;
            arg.vt = VT_DISPATCH;
            arg.pdispVal = record->Get();
            point_.Fire(kNewLogEntry, {arg});
        }
        long number = 0;
        if (SUCCEEDED((*record)->get_RecordNumber(&number))) NoteRaised(static_cast<uint32_t>(number), *record);
        TakeNewEntries();  // whatever was written while the handler ran
        ScheduleRaise();
    }

    void OnTimer(UINT_PTR id) {
        ::KillTimer(window_.get(), id);
        if (id == kSaveTimer) {
            SaveMark();
            return;
        }
        OnChange();
    }

private:
    static HRESULT ReadWindow(IEventLog* log, LogWindow& out) {
        long oldest = 0, count = 0;
        HRESULT hr = log->get_OldestRecordNumber(&oldest);
        if (SUCCEEDED(hr)) hr = log->get_RecordCount(&count);
        if (FAILED(hr)) return hr;
        out.oldest = static_cast<uint32_t>(oldest);
        out.count = static_cast<uint32_t>(count);
        return S_OK;
    }

    void TakeNewEntries() {
        if (log_) {
            LogWindow now;
            if (FAILED(ReadWindow(log_.Get(), now))) return;
            const Gap gap = position_.Sync(now);
            if (gap.size()) queue_.Drop(gap.size() - OwnWarningsIn(log_name_, gap.first, gap.end));
            // A full queue takes nothing more: what the log still holds stays there, and is
            // taken as raising makes room.
            while (!queue_.full()) {
                auto number = position_.Take(now);
                if (!number) break;
                ComPtr<IEventLogRecord> record;
                // An entry that went away between the check and the read is lost with it.
                if (FAILED(log_->ReadRecord(static_cast<long>(*number), record.GetAddressOf())) || !record) {
                    if (!IsOwnWarning(log_name_, *number)) queue_.Drop();
                    continue;
                }
                queue_.Offer(std::move(record));
            }
        }
        EndLook();
    }

    // At most one warning per interval. A loss not told yet is told once a later look
    // loses nothing, even if the log stays quiet.
    void EndLook() {
        if (uint64_t lost = queue_.EndRound(::GetTickCount64(), kCheckInterval)) WarnLost(log_name_, lost);
        if (queue_.pending() && window_) ::SetTimer(window_.get(), kLossTimer, kCheckInterval, nullptr);
    }

    void ScheduleRaise() {
        if (raise_scheduled_ || queue_.empty() || !window_) return;
        // A full message queue refuses the post; the next change or raise asks again.
        raise_scheduled_ = log_ ? ::PostMessageW(window_.get(), kRaiseMessage, 0, 0) != FALSE
                                : ::SetTimer(window_.get(), kRaiseTimer, USER_TIMER_MINIMUM, nullptr) != 0;
    }

    void CountUntaken() {
        LogWindow now;
        if (!log_ || FAILED(ReadWindow(log_.Get(), now))) return;
        position_.Sync(now);
        const uint64_t end = now.count ? uint64_t{now.oldest} + now.count : 0;
        if (end > position_.next()) queue_.Drop(end - position_.next());
    }

    void NoteRaised(uint32_t number, ComPtr<IEventLogRecord> record) {
        last_raised_ = number;
        last_record_ = std::move(record);
        if (!mark_ || save_due_) return;
        const ULONGLONG since = ::GetTickCount64() - last_save_;
        if (since >= kSaveSpacing) {
            SaveMark();
        } else if (window_ && ::SetTimer(window_.get(), kSaveTimer, static_cast<UINT>(kSaveSpacing - since), nullptr)) {
            save_due_ = true;
        }
    }

    void SaveMark() {
        save_due_ = false;
        if (!mark_) return;
        mark_->Save(Marked(), false);
        last_save_ = ::GetTickCount64();
    }

    // The last entry raised, with its stamp so that a later start can tell it from
    // another entry that took its number after the log was cleared.
    MarkedEntry Marked() const {
        MarkedEntry entry;
        entry.number = last_raised_;
        if (last_record_) entry.stamp = StampOf(last_record_.Get());
        return entry;
    }

    // Lets go of the log; the entries taken stay.
    void Unfollow() {
        wake_.Stop();
        if (window_) ::KillTimer(window_.get(), kCatchUpTimer);
        if (point_of_log_) point_of_log_->Unadvise(cookie_);
        if (sink_) {
            sink_->Detach();
            sink_->Release();
            sink_ = nullptr;
        }
        point_of_log_.Reset();
        log_.Reset();
    }

    void Stop() {
        Unfollow();
        window_.reset();
        raise_scheduled_ = false;
        save_due_ = false;
        if (mark_) mark_->Save(Marked(), true);
        mark_.reset();
        last_record_.Reset();
        if (uint64_t lost = queue_.Clear()) WarnLost(log_name_, lost);
    }

    HRESULT Fail(HRESULT hr, const wchar_t* text) {
        // Lorvex's own error information stays in place unless we have a better text.
        if (text) vantrel::com::SetErrorInfo(L"Mirrolan", text);
        return hr;
    }

    vantrel::com::EventPoint point_;
    ComPtr<IEventLog> log_;
    ComPtr<IConnectionPoint> point_of_log_;
    ChangeSink* sink_ = nullptr;
    DWORD cookie_ = 0;
    std::wstring log_name_;
    ReadPosition position_{LogWindow{}};
    EntryQueue<ComPtr<IEventLogRecord>> queue_{kQueueCapacity};
    bool raising_ = false;
    bool raise_scheduled_ = false;
    ChangeWake wake_;
    std::unique_ptr<ResumeMark> mark_;
    uint32_t last_raised_ = 0;
    ComPtr<IEventLogRecord> last_record_;  // the entry numbered last_raised_, when known
    ULONGLONG last_save_ = 0;
    bool save_due_ = false;
    Window window_;
};

LRESULT CALLBACK MonitorWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* monitor = reinterpret_cast<LogMonitor*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (monitor && (msg == kRaiseMessage || (msg == WM_TIMER && wp == kRaiseTimer))) {
        vantrel::com::Barrier([&] { monitor->RaiseOne(); });
        return 0;
    }
    if (monitor && msg == kChangeMessage) {
        vantrel::com::Barrier([&] { monitor->OnChange(); });
        return 0;
    }
    if (monitor && msg == WM_TIMER && (wp == kCatchUpTimer || wp == kLossTimer || wp == kSaveTimer)) {
        vantrel::com::Barrier([&] { monitor->OnTimer(wp); });
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

STDMETHODIMP ChangeSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        if (id == kOnEventLogChange && owner_) owner_->OnChange();
        return S_OK;
    });
}

}  // namespace

HRESULT CreateLogMonitor(REFIID riid, void** ppv) { return vantrel::com::CreateObject<LogMonitor>(riid, ppv); }

}  // namespace mirrolan
