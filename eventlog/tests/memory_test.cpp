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

TEST(Memory, AWriteWhoseStringsCannotBeHeldFailsWithTheText) {
    ComApartment apartment;
    ComPtr<IEventSource> source;
    ASSERT_EQ(lorvex::CreateEventSource(IID_IEventSource, reinterpret_cast<void**>(source.GetAddressOf())), S_OK);
    ASSERT_EQ(source->put_SourceName(vantrel::Bstr(L"VtMemoryTest").get()), S_OK);
    vantrel::Variant strings;
    strings->vt = VT_ARRAY | VT_VARIANT;
    strings->parray = ::SafeArrayCreateVector(VT_VARIANT, 0, 2);
    ASSERT_TRUE(strings->parray);
    const char* text = "Failed to allocate memory for string array";
    vantrel::com::FailAllocationForTest(text);
    EXPECT_EQ(source->ReportInformation(1, *strings.get(), VARIANT{}), E_OUTOFMEMORY);
    vantrel::com::FailAllocationForTest(nullptr);
    EXPECT_EQ(ErrorText(), std::wstring(text, text + strlen(text)));
}

}  // namespace
