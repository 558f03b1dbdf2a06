// A failed COM call reaches the error tail with the status and a description that says
// what went wrong, also where the platform has no text for the status.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "com_support.h"
#include "hollin.h"

namespace quenloc {
namespace {

trap::RunTimeError Raised(HRESULT hr, const char* what) {
    try {
        RaiseComFailure(hr, what);
    } catch (const trap::RunTimeError& e) {
        return e;
    }
    ADD_FAILURE() << "nothing raised";
    return trap::RunTimeError(0, "");
}

TEST(ComFailure, DescriptionIsTheStatusTextNeverTheCallersName) {
    const trap::RunTimeError missing = Raised(REGDB_E_CLASSNOTREG, "Mirrolan");
    EXPECT_EQ(missing.number, static_cast<int32_t>(REGDB_E_CLASSNOTREG));
    EXPECT_EQ(missing.description, "Class not registered");
    EXPECT_EQ(Raised(E_NOINTERFACE, "Mirrolan").description, "No such interface supported");
    EXPECT_EQ(Raised(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "Mirrolan").description.rfind("File not found", 0), 0u);
    // A status nobody has a text for still names itself.
    EXPECT_EQ(Raised(static_cast<HRESULT>(0x80041234), "Mirrolan").description, "Unknown error 0x80041234");
}

TEST(ComFailure, TheObjectsOwnErrorTextComesFirst) {
    ICreateErrorInfo* create = nullptr;
    ASSERT_EQ(::CreateErrorInfo(&create), S_OK);
    create->SetDescription(const_cast<LPOLESTR>(L"The log \"Nowhere\" does not exist"));
    create->SetSource(const_cast<LPOLESTR>(L"Mirrolan"));
    IErrorInfo* info = nullptr;
    create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
    ::SetErrorInfo(0, info);
    info->Release();
    create->Release();
    const trap::RunTimeError e = Raised(E_FAIL, "StartMonitoring");
    EXPECT_EQ(e.description, "The log \"Nowhere\" does not exist");
    EXPECT_EQ(e.source, "Mirrolan");
}

}  // namespace
}  // namespace quenloc
