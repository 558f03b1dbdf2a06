// The service-host control outside the Service Control Manager: the program hears why it
// cannot run and is told to stop, instead of waiting for a start that never comes; and
// LogEvent, and its companion with ids, write their text to the Application log.
#include <gtest/gtest.h>

#include <functional>

#include "client_support.h"

// The host control's writer with ids, as a client finds it with QueryInterface. Outside the
// unnamed namespace: there, with no implementation in sight, the compiler may take a call
// through it for one that never happens.
struct ISvcItEventIds : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE LogEventWithId(BSTR text, long type, long event_id) = 0;
};

namespace {

// Written out on purpose, not taken from the IDL: the fixed contract callers compiled against.
const IID kEvents = {0x7C3B5E23, 0x4A8D, 0x4F6B, {0x9E, 0x12, 0x3D, 0x5A, 0x7B, 0x9C, 0x0E, 0x41}};

class Sink final : public EventSink {
public:
    Sink() : EventSink(kEvents) {}
    std::vector<DISPID> events;
    std::wstring message;

protected:
    void OnEvent(DISPID id, WORD, DISPPARAMS* params) override {
        events.push_back(id);
        if (id == 17 && params && params->cArgs == 2 && params->rgvarg[1].vt == VT_BSTR)
            message = params->rgvarg[1].bstrVal;
    }
};

TEST(ServiceHost, OutsideTheScmItSaysSoAndStops) {
    ComApartment apartment;
    auto host = Create<IDispatch>(L"SVCITLib.SvcIt");
    ASSERT_TRUE(host);
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(host.As(&container), S_OK);
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(container->FindConnectionPoint(kEvents, &point), S_OK);
    Sink sink;
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    // Once the prefix has started a service, Wine waits for that service's control pipe
    // (about 10 s) before it gives up; in a fresh prefix the answer is immediate.
    PumpUntil([&] { return sink.events.size() >= 2; }, 40000);
    ASSERT_EQ(sink.events, (std::vector<DISPID>{17, 10}));  // Message, then Stop; never Start
    EXPECT_NE(sink.message.find(L"Service Control Manager"), std::wstring::npos);
    EXPECT_NE(sink.message.find(L"1063"), std::wstring::npos);  // ERROR_FAILED_SERVICE_CONTROLLER_CONNECT
    point->Unadvise(cookie);
}

const IID kEventIds = {0x7C3B5E25, 0x4A8D, 0x4F6B, {0x9E, 0x12, 0x3D, 0x5A, 0x7B, 0x9C, 0x0E, 0x41}};

// LogEvent writes its text as a warning of the service's source with the id 1; the writer
// with ids writes the id it is given, so that each warning finds its own message.
TEST(ServiceHost, LogEventWritesTheTextToTheApplicationLog) {
    ComApartment apartment;
    auto host = Create<IDispatch>(L"SVCITLib.SvcIt");
    ASSERT_TRUE(host);
    auto log = Create<IEventLog>(L"Lorvex.EventLog");
    ASSERT_TRUE(log);
    log->put_SourceName(B(L"Application").get());
    long oldest = 0, before = 0;
    log->get_OldestRecordNumber(&oldest);
    log->get_RecordCount(&before);

    // Other programs of the prefix write to the Application log too: the test looks for its
    // own entries among the new ones, by texts no other writer has.
    const std::wstring stamp = std::to_wstring(::GetTickCount64());
    const std::wstring plain = L"Your SMTP settings are not fully configured. (" + stamp + L")";
    const std::wstring with_id = L"Service stopped before 2 mails were sent (" + stamp + L")";
    vantrel::Variant text, kind;
    text->vt = VT_BSTR;
    text->bstrVal = ::SysAllocString(plain.c_str());
    kind->vt = VT_I4;
    kind->lVal = 1;
    VARIANT args[2] = {*kind.get(), *text.get()};  // reversed
    DISPPARAMS params{args, nullptr, 2, 0};
    ASSERT_EQ(host->Invoke(17, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    ComPtr<ISvcItEventIds> ids;
    ASSERT_EQ(host->QueryInterface(kEventIds, reinterpret_cast<void**>(ids.GetAddressOf())), S_OK);
    ASSERT_EQ(ids->LogEventWithId(B(with_id.c_str()).get(), 1, 7), S_OK);

    auto reader = Create<IEventLog>(L"Lorvex.EventLog");
    reader->put_SourceName(B(L"Application").get());
    long after = 0, first = 0;
    reader->get_OldestRecordNumber(&first);
    reader->get_RecordCount(&after);
    ASSERT_GT(first + after, oldest + before);
    std::vector<long> plain_ids, given_ids;
    for (long number = oldest + before; number < first + after; ++number) {
        ComPtr<IEventLogRecord> record;
        if (reader->ReadRecord(number, &record) != S_OK) continue;
        vantrel::Variant strings;
        if (record->get_Strings(strings.put()) != S_OK || !(strings->vt & VT_ARRAY)) continue;
        LONG index = 1;
        vantrel::Variant first_string;
        if (::SafeArrayGetElement(strings->parray, &index, first_string.put()) != S_OK || first_string->vt != VT_BSTR)
            continue;
        const bool is_plain = plain == first_string->bstrVal;
        if (!is_plain && with_id != first_string->bstrVal) continue;
        vantrel::Bstr type, source;
        long event_id = 0;
        record->get_EventType(type.put());
        record->get_SourceName(source.put());
        record->get_EventId(&event_id);
        EXPECT_EQ(type.str(), L"Warning");
        EXPECT_EQ(source.str(), L"Quenloc");
        (is_plain ? plain_ids : given_ids).push_back(event_id);
    }
    EXPECT_EQ(plain_ids, std::vector<long>{1});
    EXPECT_EQ(given_ids, std::vector<long>{7});
}

}  // namespace
