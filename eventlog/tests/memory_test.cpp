// Running out of memory is reported like any other failure: the status E_OUTOFMEMORY and
// a text that names what could not be allocated. Tests make one allocation fail.
#include <gtest/gtest.h>
#include <cstring>

#include <windows.h>

#include <wrl/client.h>

#include "classes.h"
#include "client_support.h"
#include "platform/winapi/com_barrier.h"
#include "platform/winapi/com_server.h"

namespace {

TEST(Memory, TheUserIdReportsEachBufferItCannotAllocate) {
    ComApartment apartment;
    ComPtr<IEventSource> source;
    ASSERT_EQ(lorvex::CreateEventSource(IID_IEventSource, reinterpret_cast<void**>(source.GetAddressOf())), S_OK);
    for (const char* what : {"user name", "domain name", "SID"}) {
        SCOPED_TRACE(what);
        vantrel::com::FailAllocationForTest(what);
        EXPECT_EQ(source->put_UserId(1), E_OUTOFMEMORY);
        const std::string text = std::string("Failed to allocate memory for ") + what;
        EXPECT_EQ(ErrorText(), std::wstring(text.begin(), text.end()));
        long id = -1;
        EXPECT_EQ(source->get_UserId(&id), S_OK);
        EXPECT_EQ(id, 0);  // no SID is kept
    }
    vantrel::com::FailAllocationForTest(nullptr);
    EXPECT_EQ(source->put_UserId(1), S_OK);
}

TEST(Memory, BlocksAndValuesThatCannotBeHeldFailWithTheirText) {
    ComApartment apartment;
    ComPtr<IEventSource> source;
    ASSERT_EQ(lorvex::CreateEventSource(IID_IEventSource, reinterpret_cast<void**>(source.GetAddressOf())), S_OK);
    ASSERT_EQ(source->put_SourceName(vantrel::Bstr(L"VtMemoryTest").get()), S_OK);
    vantrel::Variant strings;
    strings->vt = VT_ARRAY | VT_VARIANT;
    strings->parray = ::SafeArrayCreateVector(VT_VARIANT, 0, 2);
    ASSERT_TRUE(strings->parray);
    vantrel::Variant bytes;
    bytes->vt = VT_ARRAY | VT_UI1;
    bytes->parray = ::SafeArrayCreateVector(VT_UI1, 0, 3);
    ASSERT_TRUE(bytes->parray);
    auto fails_with = [](const char* text, auto call) {
        vantrel::com::FailAllocationForTest(text);
        EXPECT_EQ(call(), E_OUTOFMEMORY) << text;
        vantrel::com::FailAllocationForTest(nullptr);
        EXPECT_EQ(ErrorText(), std::wstring(text, text + strlen(text)));
    };
    fails_with("Failed to allocate memory for string array",
               [&] { return source->ReportInformation(1, *strings.get(), VARIANT{}); });
    fails_with("Failed to allocate memory for binary array",
               [&] { return source->ReportInformation(1, VARIANT{}, *bytes.get()); });

    // A registered source's value read back.
    ComPtr<IEventSourceConfiguration> config;
    ASSERT_EQ(lorvex::CreateEventSourceConfiguration(IID_IEventSourceConfiguration,
                                                     reinterpret_cast<void**>(config.GetAddressOf())),
              S_OK);
    ASSERT_EQ(config->put_SourceName(vantrel::Bstr(L"VtMemoryTest").get()), S_OK);
    ASSERT_EQ(config->put_EventMessageFile(vantrel::Bstr(L"vt_memory.dll").get()), S_OK);
    vantrel::Bstr file;
    fails_with("Failed to allocate memory for event source registry value",
               [&] { return config->get_EventMessageFile(file.put()); });
    EXPECT_EQ(config->get_EventMessageFile(file.put()), S_OK);
    EXPECT_EQ(file.str(), L"vt_memory.dll");
    EXPECT_EQ(config->put_EventMessageFile(nullptr), S_OK);  // the source's key goes with its last value
}

}  // namespace
