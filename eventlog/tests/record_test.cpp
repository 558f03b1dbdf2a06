// Records decoded from raw bytes, and their descriptions from message files of our own
// registered in the prefix's event-log configuration.
#include <gtest/gtest.h>
#include <windows.h>
#include <wrl/client.h>

#include <oleauto.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "event_log_record.h"
#include "platform/winapi/adopt.h"
#include "platform/winapi/com_barrier.h"
#include "platform/winapi/fault_guard.h"
#include "platform/winapi/handles.h"
#include "raw_record_builder.h"

namespace vantrel::com {
ModuleCounts& Counts() { static ModuleCounts counts; return counts; }
HMODULE ModuleHandle() { return nullptr; }
}  // namespace vantrel::com

namespace {

using Microsoft::WRL::ComPtr;

struct ComApartment {
    ComApartment() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { ::CoUninitialize(); }
};

std::wstring LastErrorText() {
    IErrorInfo* info = nullptr;
    if (::GetErrorInfo(0, &info) != S_OK || !info) return L"";
    vantrel::Bstr d;
    info->GetDescription(d.put());
    info->Release();
    return d.str();
}

bool StartsWith(const std::wstring& s, const std::wstring& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

struct Decoded {
    HRESULT hr;
    ComPtr<lorvex::EventLogRecord> record;
};

Decoded Decode(const RawRecordSpec& spec, lorvex::SidCache* cache = nullptr, long order = 2) {
    auto bytes = BuildRawRecord(spec);
    ComPtr<lorvex::EventLogRecord> r = vantrel::com::Adopt(new lorvex::EventLogRecord());
    HRESULT hr = r->Init(bytes.data(), bytes.size(), cache, order);
    return {hr, r};
}

std::wstring Text(HRESULT (STDMETHODCALLTYPE lorvex::EventLogRecord::*get)(BSTR*), lorvex::EventLogRecord* r) {
    vantrel::Bstr s;
    HRESULT hr = (r->*get)(s.put());
    return SUCCEEDED(hr) ? s.str() : L"<failed: " + LastErrorText() + L">";
}

// Local time minus UTC, as the platform's time zone has it at this moment.
double CurrentBiasInDays() {
    TIME_ZONE_INFORMATION tz;
    const DWORD which = ::GetTimeZoneInformation(&tz);
    LONG minutes = tz.Bias;
    if (which == TIME_ZONE_ID_DAYLIGHT) minutes += tz.DaylightBias;
    if (which == TIME_ZONE_ID_STANDARD) minutes += tz.StandardBias;
    return -minutes / 1440.0;
}

class Record : public ::testing::Test {
protected:
    ComApartment apartment_;
};

TEST_F(Record, DecodesTypesCodesCategoriesAndTimes) {
    RawRecordSpec spec;
    spec.event_type = 0;
    spec.category = 65535;
    spec.event_id = 0xC0000005;
    spec.time_written = 0;
    spec.time_generated = 86400;
    auto d = Decode(spec);
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(Text(&lorvex::EventLogRecord::get_EventType, d.record.Get()), L"");
    long value = 0;
    d.record->get_Category(&value);
    EXPECT_EQ(value, 65535);
    d.record->get_EventCode(&value);
    EXPECT_EQ(value, 5);
    d.record->get_EventId(&value);
    EXPECT_EQ(static_cast<uint32_t>(value), 0xC0000005u);
    // Dates are shifted by the bias in force now, whatever the date of the record: one
    // hour in winter, two in summer for the zone the test runs in.
    const double bias = CurrentBiasInDays();
    ASSERT_NE(bias, 0.0) << "the test needs a zone that is not UTC";
    DATE date = 0;
    d.record->get_TimeWritten(&date);
    EXPECT_NEAR(date, 25569.0 + bias, 1e-9);
    d.record->get_TimeGenerated(&date);
    EXPECT_NEAR(date, 25570.0 + bias, 1e-9);

    const std::pair<uint16_t, const wchar_t*> types[] = {
        {1, L"Error"}, {2, L"Warning"}, {4, L"Information"}, {8, L"Audit Success"}, {16, L"Audit Failure"}, {3, L""}};
    for (auto [raw, text] : types) {
        spec.event_type = raw;
        EXPECT_EQ(Text(&lorvex::EventLogRecord::get_EventType, Decode(spec).record.Get()), text);
    }
}

TEST_F(Record, StringsAndDataAreEmptyOrVariantArraysFromOne) {
    RawRecordSpec spec;
    auto d = Decode(spec);
    vantrel::Variant v;
    d.record->get_Strings(v.put());
    EXPECT_EQ(v->vt, VT_EMPTY);
    d.record->get_Data(v.put());
    EXPECT_EQ(v->vt, VT_EMPTY);

    spec.strings = {"first", "zweite \xe4"};
    spec.data = {1, 2, 255, 0};
    d = Decode(spec);
    ASSERT_EQ(d.hr, S_OK);
    d.record->get_Strings(v.put());
    ASSERT_EQ(v->vt, VT_ARRAY | VT_VARIANT);
    LONG lower = 0, upper = 0;
    SafeArrayGetLBound(v->parray, 1, &lower);
    SafeArrayGetUBound(v->parray, 1, &upper);
    EXPECT_EQ(lower, 1);
    EXPECT_EQ(upper, 2);
    vantrel::Variant element;
    LONG index = 2;
    SafeArrayGetElement(v->parray, &index, element.get());
    ASSERT_EQ(element->vt, VT_BSTR);
    EXPECT_EQ(std::wstring(element->bstrVal), L"zweite \u00e4");  // through the ANSI code page

    d.record->get_Data(v.put());
    ASSERT_EQ(v->vt, VT_ARRAY | VT_VARIANT);
    SafeArrayGetLBound(v->parray, 1, &lower);
    SafeArrayGetUBound(v->parray, 1, &upper);
    EXPECT_EQ(lower, 1);
    EXPECT_EQ(upper, 4);
    index = 3;
    SafeArrayGetElement(v->parray, &index, element.put());
    EXPECT_EQ(element->vt, VT_UI1);
    EXPECT_EQ(element->bVal, 255);
    // The getter hands out a copy: changing it leaves the record as it was.
    SafeArrayPutElement(v->parray, &index, element.get());
    vantrel::Variant again;
    d.record->get_Data(again.put());
    EXPECT_NE(again->parray, v->parray);
}

TEST_F(Record, UserNamesComeFromLookupOrSidTextAndAreCached) {
    lorvex::SidCache cache(20);
    RawRecordSpec spec;
    auto d = Decode(spec, &cache);
    EXPECT_EQ(Text(&lorvex::EventLogRecord::get_UserName, d.record.Get()), L"");
    EXPECT_EQ(cache.count(), 0u);  // no SID: the cache is not touched

    spec.sid = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};  // LocalSystem
    d = Decode(spec, &cache);
    ASSERT_EQ(d.hr, S_OK);
    std::wstring system = Text(&lorvex::EventLogRecord::get_UserName, d.record.Get());
    EXPECT_EQ(system.find(L'\\') != std::wstring::npos, true) << std::string(system.begin(), system.end());
    EXPECT_EQ(system.substr(system.find(L'\\') + 1), L"SYSTEM");

    spec.sid = DomainSid(1234, 987654);  // a domain nobody knows
    d = Decode(spec, &cache);
    EXPECT_EQ(Text(&lorvex::EventLogRecord::get_UserName, d.record.Get()), L"S-1-5-21-987654-2000-3000-1234");
    EXPECT_EQ(cache.count(), 2u);
    d = Decode(spec, &cache);
    EXPECT_EQ(Text(&lorvex::EventLogRecord::get_UserName, d.record.Get()), L"S-1-5-21-987654-2000-3000-1234");
    EXPECT_EQ(cache.count(), 2u);  // found in the cache, not added again

    // A SID whose header claims more sub-authorities than the record gives is refused.
    spec.sid = {1, 5, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0};
    d = Decode(spec, &cache);
    EXPECT_EQ(d.hr, E_INVALIDARG);
    EXPECT_EQ(LastErrorText(), L"Invalid SID");
}

TEST_F(Record, RecordPointingOutsideItselfIsRefused) {
    RawRecordSpec spec;
    spec.strings = {"a"};
    auto bytes = BuildRawRecord(spec);
    bytes[36] = 0xF0;  // string offset far past the end
    bytes[37] = 0xFF;
    ComPtr<lorvex::EventLogRecord> r = vantrel::com::Adopt(new lorvex::EventLogRecord());
    EXPECT_EQ(static_cast<uint32_t>(r->Init(bytes.data(), bytes.size(), nullptr, 2)), 0x800705DCu);
    EXPECT_TRUE(StartsWith(LastErrorText(), L"Error decoding event log record - "));
}

TEST(FaultGuard, TurnsAFaultIntoAFailureAndLetsTheThreadGoOn) {
    volatile int reached = 0;
    int* volatile nowhere = nullptr;  // opaque to the optimiser: a real access violation
    auto faulty = [&] {
        reached = 1;
        *nowhere = 1;
        reached = 2;
    };
    EXPECT_FALSE(vantrel::RunGuarded(faulty));
    EXPECT_EQ(reached, 1);
    auto fine = [&] { reached = 3; };
    EXPECT_TRUE(vantrel::RunGuarded(fine));
    EXPECT_EQ(reached, 3);
    EXPECT_FALSE(vantrel::RunGuarded(faulty));  // and again, after a clean run
}

// Descriptions ---------------------------------------------------------------------------

const char kLogKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog";

void SetSource(const std::string& log, const std::string& source, const char* value, DWORD type, const std::string& data) {
    vantrel::RegKey key;
    std::string path = std::string(kLogKey) + "\\" + log + "\\" + source;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                                nullptr),
              ERROR_SUCCESS);
    if (type == REG_DWORD) {
        DWORD n = 1;
        ::RegSetValueExA(key.get(), value, 0, REG_DWORD, reinterpret_cast<BYTE*>(&n), 4);
    } else {
        ::RegSetValueExA(key.get(), value, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>(data.size() + 1));
    }
}

class Description : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string dll = MESSAGES_DLL_PATH;
        const std::string dir = dll.substr(0, dll.rfind('\\'));
        ::SetEnvironmentVariableA("VT_TEST_MESSAGES", dir.c_str());
        // Registered under System; records below say they come from the Application log.
        SetSource("System", "VtTestSource", "EventMessageFile", REG_EXPAND_SZ, dir + "\\missing.dll;" + dll);
        SetSource("System", "VtTestSource", "CategoryMessageFile", REG_EXPAND_SZ, "%VT_TEST_MESSAGES%\\VtTestMessages.dll");
        SetSource("System", "VtTestSource", "ParameterMessageFile", REG_SZ, dll);
        SetSource("Application", "VtTestNoFile", "EventMessageFile", REG_EXPAND_SZ, dir + "\\x.dll;");
        SetSource("Application", "VtTestDword", "EventMessageFile", REG_DWORD, "");
    }
    static void TearDownTestSuite() {
        for (const char* path : {"System\\VtTestSource", "Application\\VtTestNoFile", "Application\\VtTestDword"})
            ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kLogKey) + "\\" + path).c_str());
    }

    ComPtr<lorvex::EventLogRecord> Event(uint32_t id, std::vector<std::string> strings, long order = 2,
                                         const std::string& computer = "", const std::string& source = "VtTestSource") {
        RawRecordSpec spec;
        spec.event_id = id;
        spec.strings = std::move(strings);
        spec.computer = computer.empty() ? LocalName() : computer;
        spec.source = source;
        spec.category = 2;
        return Decode(spec, nullptr, order).record;
    }
    static std::string LocalName() {
        char name[16];
        DWORD size = sizeof name;
        ::GetComputerNameA(name, &size);
        return std::string(name, size);
    }
    std::wstring Describe(lorvex::EventLogRecord* r) {
        std::wstring s = Text(&lorvex::EventLogRecord::get_EventDescription, r);
        while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r' || s.back() == L' ')) s.pop_back();
        return s;
    }
    ComApartment apartment_;
};

TEST_F(Description, FindsTheSourceUnderAnyLogAndInsertsStrings) {
    EXPECT_EQ(Describe(Event(1000, {"C:"}).Get()), L"Disk C: is full");
    std::wstring category = Text(&lorvex::EventLogRecord::get_CategoryDescription, Event(1000, {}).Get());
    EXPECT_EQ(category.substr(0, 7), L"Network");  // from a path with an environment reference
    // FormatMessageA turns each message's closing line end into a space, parameter messages too.
    EXPECT_EQ(Describe(Event(1001, {"7"}).Get()), L"Parameter seven  and nine with seven");
    // An insertion string naming a parameter message that does not exist stays as it is.
    EXPECT_EQ(Describe(Event(1000, {"%%1024"}).Get()), L"Disk %%1024 is full");
    EXPECT_EQ(Describe(Event(1000, {"%%7"}).Get()), L"Disk seven  is full");
}

// Another program adding and removing a log below the source's own must not make the source
// unknown: the walk through the logs is made again while they change under it.
TEST_F(Description, FindsTheSourceWhileOtherLogsComeAndGo) {
    const std::string dll = MESSAGES_DLL_PATH;
    SetSource("VtZDescribed", "VtTestChurned", "EventMessageFile", REG_EXPAND_SZ, dll);
    std::atomic<bool> done{false};
    std::thread churn([&] {
        const std::string key = std::string(kLogKey) + "\\VtAFormatChurn";
        while (!done) {
            HKEY k = nullptr;
            if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                                  nullptr) == ERROR_SUCCESS)
                ::RegCloseKey(k);
            ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
        }
    });
    int described = 0;
    constexpr int kTimes = 300;
    for (int i = 0; i < kTimes; ++i)
        if (Describe(Event(1000, {"C:"}, 2, "", "VtTestChurned").Get()) == L"Disk C: is full") ++described;
    done = true;
    churn.join();
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kLogKey) + "\\VtZDescribed").c_str());
    EXPECT_EQ(described, kTimes);
}

TEST_F(Description, FailsWithTheTextsOfEachCause) {
    EXPECT_EQ(Describe(Event(1001, {"7a"}).Get()), L"<failed: Expected numeric insertion string value>");
    EXPECT_EQ(Describe(Event(1003, {"a", "b"}).Get()), L"<failed: No such insertion string>");
    EXPECT_EQ(Describe(Event(1004, {}).Get()), L"<failed: Parameter messages nested too deeply>");
    EXPECT_TRUE(StartsWith(Describe(Event(1000, {"x"}, 2, "", "VtTestNobody").Get()),
                           L"<failed: The event source isn't configured in the registry - "));
    EXPECT_TRUE(StartsWith(Describe(Event(1000, {"x"}, 2, "", "VtTestNoFile").Get()),
                           L"<failed: Error loading message file - "));
    EXPECT_EQ(Describe(Event(1000, {"x"}, 2, "", "VtTestDword").Get()),
              L"<failed: Unexpected event source registry value type>");
    EXPECT_TRUE(StartsWith(Describe(Event(99999, {}).Get()), L"<failed: Error formatting message - "));

    // A client-made record has no source to look up.
    ComPtr<lorvex::EventLogRecord> empty = vantrel::com::Adopt(new lorvex::EventLogRecord());
    EXPECT_EQ(Describe(empty.Get()), L"<failed: The event source isn't configured in the registry>");
}

TEST_F(Description, RunningOutOfMemoryNamesWhatCouldNotBeAllocated) {
    for (const char* text : {"Failed to allocate memory for string array",
                             "Failed to allocate memory for message file names",
                             "Failed to allocate memory for updated insertion strings",
                             "Failed to allocate memory for formatted message"}) {
        vantrel::com::FailAllocationForTest(text);
        vantrel::Bstr description;
        EXPECT_EQ(Event(1001, {"7"})->get_EventDescription(description.put()), E_OUTOFMEMORY) << text;
        vantrel::com::FailAllocationForTest(nullptr);
        EXPECT_EQ(LastErrorText(), std::wstring(text, text + strlen(text)));
    }
    // The buffer for the registry value that lists the message files.
    vantrel::com::FailAllocationForTest("message file registry value");
    vantrel::Bstr description;
    EXPECT_EQ(Event(1001, {"7"})->get_EventDescription(description.put()), E_OUTOFMEMORY);
    vantrel::com::FailAllocationForTest(nullptr);
    EXPECT_EQ(LastErrorText(), L"Failed to allocate memory for message file names");
    // An insertion string that cannot be expanded is used as it stands.
    vantrel::com::FailAllocationForTest("expanded insertion string");
    const std::wstring unexpanded = Describe(Event(1000, {"%%7"}).Get());
    vantrel::com::FailAllocationForTest(nullptr);
    EXPECT_EQ(unexpanded, L"Disk %%7 is full");
    EXPECT_EQ(Describe(Event(1001, {"7"}).Get()), L"Parameter seven  and nine with seven");
}

TEST_F(Description, FailsPast4095CharactersAndSucceedsAt4095) {
    // The message reads "%1%2%3%4 end " once FormatMessageA has made its line end a space.
    const std::string k(1023, 'k');
    vantrel::Bstr fits;
    ASSERT_EQ(Event(1002, {k, k, k, std::string(1021, 'k')})->get_EventDescription(fits.put()), S_OK);
    EXPECT_EQ(fits.length(), 4095u);
    EXPECT_EQ(Describe(Event(1002, {k, k, k, std::string(1022, 'k')}).Get()), L"<failed: String buffer too short>");
}

TEST_F(Description, SearchOrdersChooseTheSidesTried) {
    // Wine refuses every remote registry connection with error 53: the failing remote attempt.
    const std::wstring remote_failure = L"<failed: Error connecting to remote event source registry key - ";
    for (long order : {0, 1, 2, 3}) {
        // This computer's own name is local under every order.
        EXPECT_EQ(Describe(Event(1000, {"C:"}, order, LocalName()).Get()), L"Disk C: is full") << order;
    }
    EXPECT_EQ(Describe(Event(1000, {"C:"}, 0, "ELSEWHERE").Get()), L"Disk C: is full");
    EXPECT_EQ(Describe(Event(1000, {"C:"}, 1, "ELSEWHERE").Get()), L"Disk C: is full");
    EXPECT_EQ(Describe(Event(1000, {"C:"}, 2, "ELSEWHERE").Get()), L"Disk C: is full");  // remote fails, local serves
    EXPECT_TRUE(StartsWith(Describe(Event(1000, {"C:"}, 3, "ELSEWHERE").Get()), remote_failure));
    // Order 1: the local side does not know the source, so the remote one is tried last.
    EXPECT_TRUE(StartsWith(Describe(Event(1000, {"C:"}, 1, "ELSEWHERE", "VtTestNobody").Get()), remote_failure));
    // Values other than 0 to 3 count as 2.
    EXPECT_EQ(Describe(Event(1000, {"C:"}, 17, "ELSEWHERE").Get()), L"Disk C: is full");
}

}  // namespace
