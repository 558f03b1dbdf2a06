// No C++ exception crosses into a COM caller: what the shared bases and the class
// factory answer when the code behind them throws.
#include <gtest/gtest.h>
#include <windows.h>

#include <oaidl.h>

#include <stdexcept>

#include "platform/winapi/com_barrier.h"
#include "platform/winapi/com_server.h"

namespace {

// The description of the thread's error information, as a client reads it after a
// failed call (reading takes it off the thread); "(none)" when there is none.
std::wstring ErrorText() {
    IErrorInfo* info = nullptr;
    if (::GetErrorInfo(0, &info) != S_OK || !info) return L"(none)";
    BSTR text = nullptr;
    info->GetDescription(&text);
    info->Release();
    std::wstring result = text ? text : L"";
    ::SysFreeString(text);
    return result;
}

// A failure whose error information its caller never read.
void EarlierFailure() { vantrel::com::SetErrorInfo(L"Earlier.Source", L"Earlier failure"); }

TEST(Barrier, ExceptionsBecomeResults) {
    using vantrel::com::Barrier;
    EXPECT_EQ(Barrier([] {}), S_OK);
    EXPECT_EQ(Barrier([] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(Barrier([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(Barrier([]() -> HRESULT { throw std::runtime_error("x"); }), E_FAIL);
    EXPECT_EQ(Barrier([]() -> HRESULT { throw 5; }), E_FAIL);
    // Each failure carries its own text, never one an earlier failure left behind.
    EarlierFailure();
    EXPECT_EQ(Barrier([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(ErrorText(), L"Out of memory");
    EarlierFailure();
    EXPECT_EQ(Barrier([]() -> HRESULT { throw std::runtime_error("x"); }), E_FAIL);
    EXPECT_EQ(ErrorText(), L"Unexpected failure");
    // The class's own reporting decides the final status; if it throws too, the status stands.
    HRESULT seen = S_OK;
    EXPECT_EQ(Barrier([]() -> HRESULT { throw std::bad_alloc(); },
                      [&](HRESULT status) {
                          seen = status;
                          return HRESULT(0x800A0007);
                      }),
              HRESULT(0x800A0007));
    EXPECT_EQ(seen, E_OUTOFMEMORY);
    EXPECT_EQ(Barrier([]() -> HRESULT { throw std::bad_alloc(); },
                      [](HRESULT) -> HRESULT { throw std::runtime_error("y"); }),
              E_OUTOFMEMORY);
    EXPECT_EQ(ErrorText(), L"Out of memory");
    EXPECT_EQ(Barrier([]() -> HRESULT { throw std::bad_alloc(); },
                      [](HRESULT status) {
                          vantrel::com::SetErrorInfo(L"Own.Source", L"Failed to allocate memory for user name");
                          return status;
                      }),
              E_OUTOFMEMORY);
    EXPECT_EQ(ErrorText(), L"Failed to allocate memory for user name");
}

TEST(Barrier, TestsCanMakeANamedAllocationFail) {
    std::vector<char> buffer;
    EXPECT_TRUE(vantrel::com::TryResize(buffer, 10, "user name"));
    EXPECT_EQ(buffer.size(), 10u);
    vantrel::com::FailAllocationForTest("user name");
    EXPECT_FALSE(vantrel::com::TryResize(buffer, 20, "user name"));
    EXPECT_TRUE(vantrel::com::TryResize(buffer, 20, "domain name"));
    vantrel::com::FailAllocationForTest(nullptr);
    EXPECT_TRUE(vantrel::com::TryResize(buffer, 30, "user name"));
}

// An object whose constructor runs out of memory, and one whose type information
// cannot be had without memory.
struct ThrowingObject final : vantrel::com::Dual<IDispatch> {
    ThrowingObject() { throw std::bad_alloc(); }
};
struct NoTypeInfo final : vantrel::com::Dual<IDispatch> {
protected:
    ITypeInfo* TypeInfo() override { throw std::bad_alloc(); }
};

HRESULT CreateThrowing(REFIID riid, void** ppv) { return vantrel::com::CreateObject<ThrowingObject>(riid, ppv); }
HRESULT CreateFailing(REFIID, void**) { throw std::runtime_error("broken"); }

TEST(Barrier, FactoriesAndDispatchAnswerInsteadOfThrowing) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateThrowing(IID_IUnknown, &object), E_OUTOFMEMORY);
    EXPECT_EQ(object, nullptr);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(vantrel::com::GetClassFactory(CreateFailing, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EarlierFailure();
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &object), E_FAIL);
    EXPECT_EQ(ErrorText(), L"Unexpected failure");
    factory->Release();

    IDispatch* d = nullptr;
    ASSERT_EQ(vantrel::com::CreateObject<NoTypeInfo>(IID_IDispatch, reinterpret_cast<void**>(&d)), S_OK);
    LPOLESTR name = const_cast<LPOLESTR>(L"Anything");
    DISPID id = 0;
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), E_OUTOFMEMORY);
    ITypeInfo* info = nullptr;
    EXPECT_EQ(d->GetTypeInfo(0, 0, &info), E_OUTOFMEMORY);
    DISPPARAMS none{};
    EarlierFailure();
    EXPECT_EQ(d->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), E_OUTOFMEMORY);
    EXPECT_EQ(ErrorText(), L"Out of memory");
    d->Release();
    EXPECT_TRUE(vantrel::com::Counts().CanUnload());
}

}  // namespace
