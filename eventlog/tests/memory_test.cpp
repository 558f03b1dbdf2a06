// Running out of memory is reported like any other failure: the status E_OUTOFMEMORY and
// a text that names what could not be allocated. Tests make one allocation fail.
#include <gtest/gtest.h>
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

}  // namespace
