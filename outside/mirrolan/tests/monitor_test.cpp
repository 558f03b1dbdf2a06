// Mirrolan as the service uses it: created by class id, started through the first
// method after the dispatch methods, raising NewLogEntry once per new entry in order on
// the creating thread, also while a handler lets events through or is slower than the
// log wraps; a client too far behind loses only what the log overwrote, with one warning.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>

#include "client_support.h"
#include "platform/winapi/tests/registry_snapshot.h"

// Outside any unnamed namespace: the compiler must not assume it sees every class that
// implements it.
struct IMirrolan : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE StartMonitoring(BSTR log_name) = 0;
};
// The stop that lets the entries taken go out: an interface of its own beside the fixed one.
struct IMirrolanDrain : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE StopMonitoring() = 0;
    virtual HRESULT STDMETHODCALLTYPE Waiting(long* count, long* first, long* last) = 0;
};

namespace {

// Written out on purpose, not taken from the IDL: the fixed contract callers compiled against.
const CLSID kClsid = {0x462F967A, 0xBAF6, 0x4F9C, {0xB3, 0x47, 0xE4, 0x98, 0x0B, 0x5F, 0xE3, 0xC6}};
const IID kIid = {0x463152C8, 0xA7E0, 0x40FC, {0x95, 0x07, 0xAC, 0x75, 0x32, 0x76, 0xBF, 0x47}};
const IID kEvents = {0x522FCCCE, 0x2058, 0x4A9C, {0xBE, 0x25, 0xEB, 0x81, 0x53, 0x56, 0xDC, 0xDE}};
const IID kDrain = {0x614416C2, 0x8F8B, 0x4E3D, {0xB3, 0x63, 0xEA, 0x8D, 0x0B, 0x83, 0xB7, 0x08}};

ComPtr<IMirrolanDrain> DrainOf(IMirrolan* monitor) {
    ComPtr<IMirrolanDrain> drain;
    monitor->QueryInterface(kDrain, reinterpret_cast<void**>(drain.GetAddressOf()));
    return drain;
}

// Records the record number, event id and thread of every NewLogEntry.
class Sink final : public EventSink {
public:
    Sink() : EventSink(kEvents) {}
    std::vector<long> numbers, ids;
    std::vector<DWORD> threads;
    std::function<void()> during;

protected:
    void OnEvent(DISPID id, WORD, DISPPARAMS* params) override {
        if (id != 1 || !params || params->cArgs != 1 || params->rgvarg[0].vt != VT_DISPATCH) return;
        ComPtr<IEventLogRecord> record;
        params->rgvarg[0].pdispVal->QueryInterface(IID_IEventLogRecord, reinterpret_cast<void**>(record.GetAddressOf()));
        long number = 0, event_id = 0;
        if (record) {
            record->get_RecordNumber(&number);
            record->get_EventId(&event_id);
        }
        numbers.push_back(number);
        ids.push_back(event_id);
        threads.push_back(::GetCurrentThreadId());
        if (during) during();
    }
};

class Monitor : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        HMODULE dll = ::LoadLibraryA(MIRROLAN_PATH);
        ASSERT_TRUE(dll);
        auto reg = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(::GetProcAddress(dll, "DllRegisterServer")));
        ASSERT_TRUE(reg);
        ASSERT_EQ(reg(), S_OK);
    }
    void SetUp() override {
        ASSERT_EQ(::CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, kIid,
                                     reinterpret_cast<void**>(monitor_.GetAddressOf())),
                  S_OK);
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(monitor_.As(&container), S_OK);
        ASSERT_EQ(container->FindConnectionPoint(kEvents, &point_), S_OK);
        ASSERT_EQ(point_->Advise(&sink_, &cookie_), S_OK);
    }
    void TearDown() override {
        if (point_) point_->Unadvise(cookie_);
    }
    HRESULT Start(const TestLog& log) { return monitor_->StartMonitoring(vantrel::Bstr(log.wide_name()).get()); }
    HRESULT Start() { return Start(log_); }

    ComApartment apartment_;
    TestLog log_{"VtMirrolanTest"};
    ComPtr<IMirrolan> monitor_;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
    Sink sink_;
};

TEST_F(Monitor, RaisesEveryNewEntryOnceInOrderOnTheCreatingThread) {
    ASSERT_TRUE(log_.Write(1));
    ASSERT_TRUE(log_.Write(2));  // there before the start: never raised
    ASSERT_EQ(Start(), S_OK);
    Pump(700);
    EXPECT_TRUE(sink_.numbers.empty());
    for (DWORD id = 10; id < 15; ++id) ASSERT_TRUE(log_.Write(id));  // several within one check
    Pump(1500);
    EXPECT_EQ(sink_.numbers, (std::vector<long>{3, 4, 5, 6, 7}));
    EXPECT_EQ(sink_.ids, (std::vector<long>{10, 11, 12, 13, 14}));
    for (DWORD t : sink_.threads) EXPECT_EQ(t, ::GetCurrentThreadId());
    ASSERT_TRUE(log_.Write(15));
    Pump(1500);
    EXPECT_EQ(sink_.numbers.size(), 6u);
}

TEST_F(Monitor, AHandlerThatLetsEventsThroughKeepsTheOrder) {
    ASSERT_EQ(Start(), S_OK);
    bool wrote = false;
    sink_.during = [&] {
        if (!wrote) {  // more entries arrive while the first handler yields
            wrote = true;
            for (DWORD id = 21; id < 24; ++id) log_.Write(id);
        }
        Pump(700);
    };
    ASSERT_TRUE(log_.Write(20));
    Pump(4000);
    EXPECT_EQ(sink_.ids, (std::vector<long>{20, 21, 22, 23}));
}

TEST_F(Monitor, ABurstArrivesWhole) {
    ASSERT_EQ(Start(), S_OK);
    for (DWORD id = 1; id <= 300; ++id) ASSERT_TRUE(log_.Write(id));
    // Each entry is raised from a message of its own: a loaded machine needs a while.
    PumpUntil([&] { return sink_.ids.size() >= 300; }, 20000);
    Pump(600);  // nothing more may come
    ASSERT_EQ(sink_.ids.size(), 300u);
    for (size_t i = 0; i < sink_.ids.size(); ++i) EXPECT_EQ(sink_.ids[i], static_cast<long>(i + 1));
}

// A window of the test's own thread, and how many entries had been raised when a message
// posted to it was handled.
class Bystander {
public:
    explicit Bystander(const Sink& sink) : sink_(sink) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"MirrolanTestBystander";
        ::RegisterClassW(&wc);
        window_ = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Bystander() { ::DestroyWindow(window_); }
    void Post() { ::PostMessageW(window_, WM_APP, 0, 0); }
    void Timer(UINT ms) { ::SetTimer(window_, 1, ms, nullptr); }
    long raised_when_handled = -1;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<Bystander*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && (msg == WM_APP || msg == WM_TIMER)) {
            if (msg == WM_TIMER) ::KillTimer(hwnd, wp);
            if (self->raised_when_handled < 0) self->raised_when_handled = static_cast<long>(self->sink_.ids.size());
            return 0;
        }
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
    const Sink& sink_;
    HWND window_ = nullptr;
};

// A message the client's thread gets while entries wait (the service's stop request) is
// handled after the entry being raised, not after the whole queue.
TEST_F(Monitor, AMessagePostedWhileEntriesWaitIsHandledBetweenTwoEntries) {
    Bystander stop(sink_);
    ASSERT_EQ(Start(), S_OK);
    sink_.during = [&] {
        if (sink_.ids.size() == 1) stop.Post();
    };
    for (DWORD id = 1; id <= 20; ++id) ASSERT_TRUE(log_.Write(id));
    PumpUntil([&] { return sink_.ids.size() >= 20; });
    Pump(600);
    EXPECT_EQ(sink_.ids.size(), 20u);
    EXPECT_GE(stop.raised_when_handled, 1);
    EXPECT_LE(stop.raised_when_handled, 2);
}

// At a stop the monitor takes what the log holds, even what no check has seen yet, and
// nothing written after; the entries it took are still raised in order, one at a time,
// while the client's own timers keep their turn; once let go, it raises nothing more.
TEST_F(Monitor, StopMonitoringRaisesWhatItTookAndNothingAfter) {
    Bystander tick(sink_);
    ASSERT_EQ(Start(), S_OK);
    ComPtr<IMirrolanDrain> drain = DrainOf(monitor_.Get());
    ASSERT_TRUE(drain);
    Pump(1200);  // the first check has passed
    long count = -1, first = -1, last = -1;
    ASSERT_EQ(drain->Waiting(&count, &first, &last), S_OK);
    EXPECT_EQ(count, 0);
    for (DWORD id = 60; id < 90; ++id) ASSERT_TRUE(log_.Write(id));
    ASSERT_EQ(drain->StopMonitoring(), S_OK);
    ASSERT_EQ(drain->Waiting(&count, &first, &last), S_OK);
    EXPECT_EQ(count, 30);
    EXPECT_EQ(last - first, 29);
    ASSERT_TRUE(log_.Write(90));
    sink_.during = [] { ::Sleep(20); };  // a client slower than the timer
    tick.Timer(100);
    PumpUntil([&] { return sink_.ids.size() >= 30; });
    Pump(1200);
    ASSERT_EQ(sink_.ids.size(), 30u);
    for (size_t i = 0; i < sink_.ids.size(); ++i) EXPECT_EQ(sink_.ids[i], static_cast<long>(60 + i));
    EXPECT_EQ(sink_.numbers.front(), first);
    EXPECT_EQ(sink_.numbers.back(), last);
    EXPECT_GE(tick.raised_when_handled, 0);
    EXPECT_LT(tick.raised_when_handled, 30);
    ASSERT_EQ(drain->Waiting(&count, &first, &last), S_OK);
    EXPECT_EQ(count, 0);

    // Let go while entries still wait: they go with it.
    ComPtr<IMirrolan> second;
    ASSERT_EQ(::CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, kIid, reinterpret_cast<void**>(second.GetAddressOf())),
              S_OK);
    Sink other;
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    ASSERT_EQ(second.As(&container), S_OK);
    ASSERT_EQ(container->FindConnectionPoint(kEvents, &point), S_OK);
    ASSERT_EQ(point->Advise(&other, &cookie), S_OK);
    ASSERT_EQ(second->StartMonitoring(vantrel::Bstr(log_.wide_name()).get()), S_OK);
    for (DWORD id = 100; id < 105; ++id) ASSERT_TRUE(log_.Write(id));
    ComPtr<IMirrolanDrain> second_drain = DrainOf(second.Get());
    ASSERT_TRUE(second_drain);
    ASSERT_EQ(second_drain->StopMonitoring(), S_OK);
    ASSERT_EQ(second_drain->Waiting(&count, &first, &last), S_OK);
    EXPECT_EQ(count, 5);
    second_drain.Reset();
    point->Unadvise(cookie);
    point.Reset();
    container.Reset();
    second.Reset();
    Pump(600);
    EXPECT_TRUE(other.ids.empty());
}

// Writes entries first..last, each with its number as event id and the given strings,
// through one source handle, pausing after each.
bool WriteMany(const TestLog& log, DWORD first, DWORD last, const std::vector<std::string>& strings = {},
               DWORD pause_ms = 0) {
    const auto& api = vantrel::evtapi::Get();
    HANDLE source = api.RegisterEventSourceA(nullptr, log.name().c_str());
    if (!source) return false;
    std::vector<const char*> p;
    for (auto& s : strings) p.push_back(s.c_str());
    bool ok = true;
    for (DWORD id = first; ok && id <= last; ++id) {
        ok = api.ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, id, nullptr, static_cast<WORD>(p.size()), 0,
                              p.empty() ? nullptr : p.data(), nullptr) != FALSE;
        if (pause_ms) ::Sleep(pause_ms);
    }
    api.DeregisterEventSource(source);
    return ok;
}

// The client takes 25 ms per entry while the log, which holds about 160 of them, receives
// one every 8 ms: the monitor must take entries out of the log as they come, not as the
// client gets to them. (The log still takes longer to wrap than one check interval.)
TEST_F(Monitor, ASmallLogThatWrapsUnderASlowClientLosesNothing) {
    TestLog small("VtMirrolanSmall", 0x10000);
    const std::vector<std::string> filler{std::string(300, 'w')};
    constexpr DWORD kEntries = 300;
    std::thread writer;
    sink_.during = [&] {
        if (!writer.joinable())
            writer = std::thread([&] { WriteMany(small, 2, kEntries, filler, 8); });
        ::Sleep(25);  // busy, and lets no event through
    };
    ASSERT_EQ(Start(small), S_OK);
    ASSERT_TRUE(small.Write(1, filler));
    PumpUntil([&] { return sink_.ids.size() >= kEntries; }, 30000);
    if (writer.joinable()) writer.join();
    Pump(600);
    ASSERT_EQ(sink_.ids.size(), kEntries);
    for (size_t i = 0; i < sink_.ids.size(); ++i) ASSERT_EQ(sink_.ids[i], static_cast<long>(i + 1)) << i;
    for (DWORD t : sink_.threads) EXPECT_EQ(t, ::GetCurrentThreadId());
}

// Warnings of the source "Mirrolan" in the Application log after record `after`.
std::vector<std::wstring> MirrolanWarnings(long after) {
    std::vector<std::wstring> out;
    auto log = Create<IEventLog>(L"Lorvex.EventLog");
    long oldest = 0, count = 0;
    if (!log || FAILED(log->put_SourceName(B(L"Application").get())) || FAILED(log->get_OldestRecordNumber(&oldest)) ||
        FAILED(log->get_RecordCount(&count)))
        return out;
    for (long n = std::max(after + 1, oldest); n < oldest + count; ++n) {
        ComPtr<IEventLogRecord> record;
        vantrel::Bstr source, type;
        if (FAILED(log->ReadRecord(n, record.GetAddressOf())) || FAILED(record->get_SourceName(source.put())) ||
            source.str() != L"Mirrolan")
            continue;
        record->get_EventType(type.put());
        std::wstring line = type.str() + L":";
        vantrel::Variant strings;
        if (SUCCEEDED(record->get_Strings(strings.put())) && strings->vt == (VT_ARRAY | VT_VARIANT)) {
            VARIANT* items = nullptr;
            if (SUCCEEDED(::SafeArrayAccessData(strings->parray, reinterpret_cast<void**>(&items)))) {
                for (ULONG i = 0; i < strings->parray->rgsabound[0].cElements; ++i)
                    if (items[i].vt == VT_BSTR) line += L" " + std::wstring(items[i].bstrVal);
                ::SafeArrayUnaccessData(strings->parray);
            }
        }
        out.push_back(line);
    }
    return out;
}

long NewestApplicationRecord() {
    auto log = Create<IEventLog>(L"Lorvex.EventLog");
    long oldest = 0, count = 0;
    if (log && SUCCEEDED(log->put_SourceName(B(L"Application").get()))) {
        log->get_OldestRecordNumber(&oldest);
        log->get_RecordCount(&count);
    }
    return count ? oldest + count - 1 : 0;
}

long Oldest(const TestLog& log) {
    const auto& api = vantrel::evtapi::Get();
    HANDLE h = api.OpenEventLogA(nullptr, log.name().c_str());
    DWORD oldest = 0;
    if (h) api.GetOldestEventLogRecord(h, &oldest);
    if (h) api.CloseEventLog(h);
    return static_cast<long>(oldest);
}

// While the client handles one entry, more are written than the queue holds and more
// than the log holds. Every entry the log still holds arrives, in order (a full queue
// waits, it does not skip what the log keeps); those the log overwrote are counted in one
// warning.
TEST_F(Monitor, AFullQueueWaitsAndOnlyWhatTheLogOverwroteIsLostAndCounted) {
    TestLog full("VtMirrolanFull", 0x140000);
    DWORD written = 0;
    long oldest_after = 0;
    sink_.during = [&] {
        // Until the log has overwritten a few hundred entries.
        while (sink_.ids.size() == 1 && oldest_after < 300 && written < 100000) {
            ASSERT_TRUE(WriteMany(full, 2 + written, 1 + written + 500));
            written += 500;
            oldest_after = Oldest(full);
        }
    };
    const long before = NewestApplicationRecord();
    ASSERT_EQ(Start(full), S_OK);
    ASSERT_TRUE(full.Write(1));
    PumpUntil([&] { return written && sink_.ids.back() == static_cast<long>(1 + written); }, 90000);
    Pump(1200);
    // The log wrapped, and still held more than the queue takes.
    ASSERT_GT(oldest_after, 2);
    const long kept = static_cast<long>(1 + written) - oldest_after + 1;
    ASSERT_GT(kept, 10000);
    ASSERT_EQ(sink_.ids.size(), static_cast<size_t>(1 + kept));
    for (size_t i = 1; i < sink_.ids.size(); ++i)
        ASSERT_EQ(sink_.ids[i], static_cast<long>(oldest_after + i - 1)) << i;
    std::vector<std::wstring> mine;
    for (auto& w : MirrolanWarnings(before))
        if (w.find(L" VtMirrolanFull ") != std::wstring::npos) mine.push_back(w);
    ASSERT_EQ(mine.size(), 1u);
    EXPECT_EQ(mine[0].rfind(L"Warning: ", 0), 0u) << mine[0];
    const std::wstring count = L"lost " + std::to_wstring(oldest_after - 2) + L" new entries";
    EXPECT_NE(mine[0].find(count), std::wstring::npos) << mine[0] << " / " << count;
}

TEST_F(Monitor, DroppingTheLastReferenceStopsTheEvents) {
    ASSERT_EQ(Start(), S_OK);
    point_->Unadvise(cookie_);
    point_.Reset();
    monitor_.Reset();
    ASSERT_TRUE(log_.Write(30));
    Pump(1200);
    EXPECT_TRUE(sink_.numbers.empty());
}

TEST_F(Monitor, DispatchCallersReachStartMonitoring) {
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"StartMonitoring");
    ASSERT_EQ(monitor_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    vantrel::Variant arg;
    arg->vt = VT_BSTR;
    arg->bstrVal = ::SysAllocString(log_.wide_name().c_str());
    DISPPARAMS params{arg.get(), nullptr, 1, 0};
    ASSERT_EQ(monitor_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
              S_OK);
    ASSERT_TRUE(log_.Write(40));
    Pump(1200);
    EXPECT_EQ(sink_.ids, std::vector<long>{40});
}

HRESULT CanUnloadNow(const wchar_t* dll) {
    HMODULE module = ::GetModuleHandleW(dll);
    if (!module) return E_FAIL;
    auto can_unload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(::GetProcAddress(module, "DllCanUnloadNow")));
    return can_unload ? can_unload() : E_FAIL;
}

// Started, restarted and let go: neither Mirrolan nor the Lorvex log it followed keeps
// an object behind.
TEST_F(Monitor, StartAndReleaseCyclesLeaveNoObjectBehind) {
    point_->Unadvise(cookie_);
    point_.Reset();
    monitor_.Reset();
    for (int cycle = 0; cycle < 3; ++cycle) {
        ComPtr<IMirrolan> monitor;
        ASSERT_EQ(::CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, kIid,
                                     reinterpret_cast<void**>(monitor.GetAddressOf())),
                  S_OK);
        ASSERT_EQ(monitor->StartMonitoring(vantrel::Bstr(log_.wide_name()).get()), S_OK);
        Pump(300);
        ASSERT_EQ(monitor->StartMonitoring(vantrel::Bstr(log_.wide_name()).get()), S_OK);  // stops, starts again
        ASSERT_TRUE(log_.Write(50));
        Pump(700);
        monitor.Reset();
        EXPECT_EQ(CanUnloadNow(L"Mirrolan.dll"), S_OK) << "after cycle " << cycle;
        EXPECT_EQ(CanUnloadNow(L"Lorvex.dll"), S_OK) << "after cycle " << cycle;
    }
}

// What regsvr32 writes, compared line by line with the entries of the last known-good
// build, and regsvr32 /u leaving the registry as it was before.
TEST(Registration, Regsvr32WritesItsEntriesAndUnregistrationRemovesExactlyThose) {
    vantrel::test::ExpectExactRoundTrip(MIRROLAN_PATH, REGISTRATION_ENTRIES);
}

}  // namespace
