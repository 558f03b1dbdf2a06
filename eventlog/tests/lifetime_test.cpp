// What a client sees of the change events: the connection it made, listed while it lasts,
// and nothing left behind afterwards. Every object the library made for the notification
// is gone once the client let go, so the DLL may be unloaded, and a privilege enabled to
// read the Security log is back as it was.
#include <gtest/gtest.h>
#include <olectl.h>

#include "classes.h"
#include "client_support.h"
#include "platform/evtlog/evtapi_recorder.h"
#include "platform/winapi/proc_address.h"

namespace {

class Sink final : public EventSink {
public:
    Sink() : EventSink(DIID__IEventLogEvents) {}
    int events = 0;

protected:
    void OnEvent(DISPID id, WORD, DISPPARAMS*) override {
        if (id == 1) ++events;
    }
};

HRESULT LorvexCanUnloadNow() {
    HMODULE lorvex = ::GetModuleHandleW(L"Lorvex.dll");
    if (!lorvex) return E_FAIL;
    auto can_unload = vantrel::ProcAddress<HRESULT(STDAPICALLTYPE*)()>(lorvex, "DllCanUnloadNow");
    return can_unload ? can_unload() : E_FAIL;
}

// Whether the process token has the privilege enabled now.
bool PrivilegeEnabled(const char* name) {
    vantrel::Handle token;
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
    token = vantrel::Handle(raw);
    LUID luid;
    if (!::LookupPrivilegeValueA(nullptr, name, &luid)) return false;
    PRIVILEGE_SET set{1, PRIVILEGE_SET_ALL_NECESSARY, {{luid, 0}}};
    BOOL held = FALSE;
    return ::PrivilegeCheck(token.get(), &set, &held) && held;
}

// Enables or disables the privilege in the process token, as other code of the program may.
bool SetPrivilege(const char* name, bool enabled) {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &raw)) return false;
    vantrel::Handle token(raw);
    TOKEN_PRIVILEGES change{};
    change.PrivilegeCount = 1;
    change.Privileges[0].Attributes = enabled ? SE_PRIVILEGE_ENABLED : 0;
    return ::LookupPrivilegeValueA(nullptr, name, &change.Privileges[0].Luid) &&
           ::AdjustTokenPrivileges(token.get(), FALSE, &change, 0, nullptr, nullptr) &&
           ::GetLastError() == ERROR_SUCCESS;
}

// The container lists its one point, and the point the one sink connected to it.
void ExpectOnlyConnection(IConnectionPointContainer* container, IUnknown* sink, DWORD cookie) {
    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(points->Next(1, &point, nullptr), S_OK);
    IID events{};
    point->GetConnectionInterface(&events);
    EXPECT_TRUE(events == DIID__IEventLogEvents);
    ComPtr<IConnectionPoint> more;
    EXPECT_EQ(points->Next(1, &more, nullptr), S_FALSE);

    ComPtr<IEnumConnections> connections;
    ASSERT_EQ(point->EnumConnections(&connections), S_OK);
    CONNECTDATA got[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(connections->Next(2, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(got[0].dwCookie, cookie);
    ComPtr<IUnknown> identity;
    sink->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.GetAddressOf()));
    ComPtr<IUnknown> listed;
    got[0].pUnk->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(listed.GetAddressOf()));
    EXPECT_EQ(listed.Get(), identity.Get());
    got[0].pUnk->Release();
}

// The registered library's reader, as a script gets it.
ComPtr<IEventLog> RegisteredReader() { return Create<IEventLog>(L"Lorvex.EventLog"); }

// The same class built into this program, so that its calls reach this program's
// event-log functions (and a recorder).
ComPtr<IEventLog> LinkedReader() {
    ComPtr<IEventLog> log;
    lorvex::CreateEventLog(IID_IEventLog, reinterpret_cast<void**>(log.GetAddressOf()));
    return log;
}

// One client's whole use of the change events: create, connect, wait for a check that
// saw a change (when the log may be written), disconnect, let go.
void FollowOnce(const std::wstring& log_name, TestLog* writable, ComPtr<IEventLog> (*make)() = RegisteredReader) {
    ComPtr<IEventLog> log = make();
    ASSERT_TRUE(log);
    ASSERT_EQ(log->put_SourceName(vantrel::Bstr(log_name).get()), S_OK);
    ASSERT_EQ(log->put_ChangeCheckInterval(500), S_OK);
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(log.As(&container), S_OK);
    ASSERT_EQ(container->FindConnectionPoint(DIID__IEventLogEvents, &point), S_OK);
    Sink sink;
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    ExpectOnlyConnection(container.Get(), &sink, cookie);
    if (writable) {
        // An entry written before the checking thread's first look raises nothing: write
        // until a check has seen one.
        for (int tries = 0; tries < 20 && sink.events == 0; ++tries) {
            ASSERT_TRUE(writable->Write(7));
            PumpUntil([&] { return sink.events >= 1; }, 1500);
        }
        EXPECT_GE(sink.events, 1);
    } else {
        Pump(700);  // the checking thread has opened its own reader by now
    }
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(sink.refs, 1u);
}

TEST(Lifetime, FollowingALogLeavesNoObjectBehind) {
    ComApartment apartment;
    TestLog test_log("VtLifetimeTest");
    for (int cycle = 0; cycle < 3; ++cycle) {
        FollowOnce(test_log.wide_name(), &test_log);
        EXPECT_EQ(LorvexCanUnloadNow(), S_OK) << "after cycle " << cycle;
    }
}

TEST(Lifetime, FollowingALogClosesEveryLogHandleItOpened) {
    ComApartment apartment;
    TestLog test_log("VtLifetimeHandles");
    vantrel::evtapi::Recorder recorder;
    for (int cycle = 0; cycle < 2; ++cycle) FollowOnce(test_log.wide_name(), &test_log, LinkedReader);
    // The checking thread closes its reader as it ends, which may be just after the release.
    auto open = [&] {
        size_t opened = 0, closed = 0;
        for (const auto& call : recorder.CallsOf("OpenEventLogA")) opened += call.ok;
        for (const auto& call : recorder.CallsOf("CloseEventLog")) closed += call.ok;
        return opened - closed;
    };
    PumpUntil([&] { return open() == 0; }, 3000);
    EXPECT_EQ(open(), 0u);
    EXPECT_GE(recorder.CallsOf("OpenEventLogA").size(), 2u);  // the checking thread's reader, once per cycle
}

TEST(Lifetime, FollowingTheSecurityLogPutsThePrivilegeBack) {
    // The reader and its checking thread's private reader both enable the privilege, and
    // let go in either order; the state from before either of them comes back only when
    // both have let go, also when the privilege was enabled before.
    ComApartment apartment;
    const char* const security = "SeSecurityPrivilege";
    const bool initially = PrivilegeEnabled(security);
    for (bool before : {false, true}) {
        for (bool reader_first : {true, false}) {
            SCOPED_TRACE(std::string(before ? "enabled" : "disabled") + " before, " +
                         (reader_first ? "read, follow, release" : "follow, read, stop following, release"));
            ASSERT_TRUE(SetPrivilege(security, before));
            ASSERT_EQ(PrivilegeEnabled(security), before);
            vantrel::evtapi::Recorder recorder;
            auto opened = [&] {
                size_t n = 0;
                for (const auto& call : recorder.CallsOf("OpenEventLogA")) n += call.ok;
                return n;
            };
            Sink sink;
            ComPtr<IEventLog> log = LinkedReader();
            ASSERT_TRUE(log);
            ASSERT_EQ(log->put_SourceName(vantrel::Bstr(L"Security").get()), S_OK);
            ComPtr<IConnectionPointContainer> container;
            ComPtr<IConnectionPoint> point;
            ASSERT_EQ(log.As(&container), S_OK);
            ASSERT_EQ(container->FindConnectionPoint(DIID__IEventLogEvents, &point), S_OK);
            long count = 0;
            if (reader_first) {
                ASSERT_EQ(log->get_RecordCount(&count), S_OK);
            }
            DWORD cookie = 0;
            ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
            // The checking thread has opened its own reader of the log.
            EXPECT_TRUE(PumpUntil([&] { return opened() >= (reader_first ? 2u : 1u); }, 8000));
            EXPECT_TRUE(PrivilegeEnabled(security));
            if (!reader_first) {
                ASSERT_EQ(log->get_RecordCount(&count), S_OK);
                EXPECT_EQ(point->Unadvise(cookie), S_OK);
                EXPECT_TRUE(PrivilegeEnabled(security)) << "while the reader still reads";
                EXPECT_EQ(log->get_RecordCount(&count), S_OK);
            }
            point.Reset();
            container.Reset();
            log.Reset();
            EXPECT_EQ(PrivilegeEnabled(security), before) << "after the release";
        }
    }
    SetPrivilege(security, initially);
}

}  // namespace
