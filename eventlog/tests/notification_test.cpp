// OnEventLogChange as a C++ client sees it: raised on its own thread while it pumps
// messages, once per interval with changes, and stopped with the last sink.
#include <gtest/gtest.h>
#include <olectl.h>
#include <tlhelp32.h>

#include "client_support.h"

namespace {

// A sink that counts the events it receives and the thread they arrive on.
class Sink final : public EventSink {
public:
    Sink() : EventSink(DIID__IEventLogEvents) {}
    int events = 0;
    DWORD thread = 0;

protected:
    void OnEvent(DISPID id, WORD flags, DISPPARAMS* params) override {
        if (id == 1 && flags == DISPATCH_METHOD && params && params->cArgs == 0) {
            ++events;
            thread = ::GetCurrentThreadId();
        }
    }
};

// A sink that offers only IUnknown.
struct Stranger final : IUnknown {
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = riid == IID_IUnknown ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
};

size_t ThreadsOfThisProcess() {
    vantrel::FileHandle snap(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 te{};
    te.dwSize = sizeof te;
    size_t n = 0;
    for (BOOL ok = ::Thread32First(snap.get(), &te); ok; ok = ::Thread32Next(snap.get(), &te))
        if (te.th32OwnerProcessID == ::GetCurrentProcessId()) ++n;
    return n;
}

class Notification : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(log_.Clear());
        ASSERT_TRUE(log_.Write(1));
        el_ = Create<IEventLog>(L"Lorvex.EventLog");
        ASSERT_TRUE(el_);
        el_->put_SourceName(vantrel::Bstr(log_.wide_name()).get());
        el_->put_ChangeCheckInterval(500);
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(el_.As(&container), S_OK);
        ASSERT_EQ(container->FindConnectionPoint(DIID__IEventLogEvents, &point_), S_OK);
    }
    ComApartment apartment_;
    TestLog log_{"VtNotifyTest"};
    ComPtr<IEventLog> el_;
    ComPtr<IConnectionPoint> point_;
};

TEST_F(Notification, OneEventPerIntervalWithChangesOnTheClientsThread) {
    Sink sink;
    DWORD cookie = 0;
    ASSERT_EQ(point_->Advise(&sink, &cookie), S_OK);
    Pump(800);
    EXPECT_EQ(sink.events, 0);  // nothing changed yet

    ASSERT_TRUE(log_.Write(2));
    EXPECT_TRUE(PumpUntil([&] { return sink.events == 1; }));
    EXPECT_EQ(sink.thread, ::GetCurrentThreadId());

    // Three writes within one interval give one event. A long interval keeps the three
    // writes well inside one wait.
    el_->put_ChangeCheckInterval(3000);
    Pump(3500);  // the thread now waits the longer interval
    ASSERT_TRUE(log_.Write(3));
    ASSERT_TRUE(log_.Write(4));
    ASSERT_TRUE(log_.Write(5));
    EXPECT_TRUE(PumpUntil([&] { return sink.events == 2; }));
    Pump(3500);
    EXPECT_EQ(sink.events, 2);

    el_->put_ChangeCheckInterval(500);
    ASSERT_TRUE(log_.Clear());
    EXPECT_TRUE(PumpUntil([&] { return sink.events >= 3; }));
    EXPECT_EQ(point_->Unadvise(cookie), S_OK);
}

TEST_F(Notification, ClearAndRefillToTheSameCountIsSeenThroughTimeWritten) {
    Sink sink;
    DWORD cookie = 0;
    ASSERT_EQ(point_->Advise(&sink, &cookie), S_OK);
    el_->put_ChangeCheckInterval(3000);
    Pump(3500);  // the thread is now waiting out the longer interval
    // Times have one-second resolution: let a second boundary pass before the refill.
    ::Sleep(1100);
    ASSERT_TRUE(log_.Clear());
    ASSERT_TRUE(log_.Write(1));  // the same oldest number and count as before
    EXPECT_TRUE(PumpUntil([&] { return sink.events == 1; }));
    point_->Unadvise(cookie);
}

TEST_F(Notification, TwoSinksAndTheLastUnadviseStopsTheThread) {
    const size_t before = ThreadsOfThisProcess();
    Sink a, b;
    DWORD ca = 0, cb = 0;
    ASSERT_EQ(point_->Advise(&a, &ca), S_OK);
    EXPECT_EQ(ThreadsOfThisProcess(), before + 1);
    ASSERT_EQ(point_->Advise(&b, &cb), S_OK);
    EXPECT_EQ(ThreadsOfThisProcess(), before + 1);  // one thread for all sinks
    EXPECT_NE(ca, cb);
    ASSERT_TRUE(log_.Write(2));
    EXPECT_TRUE(PumpUntil([&] { return a.events == 1 && b.events == 1; }));

    ASSERT_EQ(point_->Unadvise(ca), S_OK);
    ASSERT_TRUE(log_.Write(3));
    EXPECT_TRUE(PumpUntil([&] { return b.events == 2; }));
    EXPECT_EQ(a.events, 1);
    ASSERT_EQ(point_->Unadvise(cb), S_OK);
    EXPECT_EQ(ThreadsOfThisProcess(), before);  // joined before Unadvise returned
    EXPECT_EQ(point_->Unadvise(cb), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(a.refs, 1u);
    EXPECT_EQ(b.refs, 1u);

    Stranger stranger;
    DWORD cookie = 0;
    EXPECT_EQ(point_->Advise(&stranger, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(ThreadsOfThisProcess(), before);
}

TEST_F(Notification, DestroyingTheLogReleasesItsSinks) {
    Sink sink;
    DWORD cookie = 0;
    const size_t before = ThreadsOfThisProcess();
    ASSERT_EQ(point_->Advise(&sink, &cookie), S_OK);
    EXPECT_GT(sink.refs, 1u);
    point_.Reset();
    el_.Reset();
    EXPECT_EQ(sink.refs, 1u);
    EXPECT_EQ(ThreadsOfThisProcess(), before);
}

TEST_F(Notification, OnceStoppedNothingOfTheWatcherStaysAlive) {
    // The watching thread works on a reader of its own: it must go with the thread, or
    // its log handle stays open and the library can never be unloaded.
    Sink sink;
    DWORD cookie = 0;
    ASSERT_EQ(point_->Advise(&sink, &cookie), S_OK);
    Pump(800);  // the thread has taken its first look at the log
    ASSERT_TRUE(log_.Write(2));
    EXPECT_TRUE(PumpUntil([&] { return sink.events >= 1; }));
    ASSERT_EQ(point_->Unadvise(cookie), S_OK);
    point_.Reset();
    el_.Reset();
    HMODULE lorvex = ::GetModuleHandleW(L"Lorvex.dll");
    ASSERT_TRUE(lorvex);
    auto can_unload = reinterpret_cast<HRESULT(WINAPI*)()>(
        reinterpret_cast<void*>(::GetProcAddress(lorvex, "DllCanUnloadNow")));
    ASSERT_TRUE(can_unload);
    EXPECT_EQ(can_unload(), S_OK);
}

}  // namespace
