// The provider through the platform's binding paths, against a real service of the
// prefix: ADsGetObject (the providers key), MkParseDisplayName and CoGetObject (the
// ProgID "WinNT", as a script's GetObject), the system-information class, and a
// VBScript client.
#include <gtest/gtest.h>
#include <windows.h>

#include <ole2.h>
#include <activeds.h>
#include <adserr.h>
#include <iads.h>
#include <wrl/client.h>

#include <string>

#include "platform/winapi/handles.h"
#include "platform/winapi/oleauto.h"

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t kService[] = L"VtAdsiTestSvc";

inline void CloseService(SC_HANDLE h) { ::CloseServiceHandle(h); }
using ScHandle = vantrel::UniqueHandle<vantrel::HandleTraits<SC_HANDLE, CloseService>>;

std::wstring ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

std::wstring ComputerPath() { return L"WinNT://" + ComputerName() + L",Computer"; }

// The test service, installed for the test program's run and removed afterwards.
class Provider : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ::CoInitialize(nullptr);
        manager_.reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        ASSERT_TRUE(manager_) << ::GetLastError();
        RemoveService();
        std::wstring command = std::wstring(L"\"") + TEST_SERVICE_PATH + L"\" " + kService;
        ScHandle created(::CreateServiceW(manager_.get(), kService, kService, SERVICE_ALL_ACCESS,
                                          SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                          command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        ASSERT_TRUE(created) << ::GetLastError();
    }
    static void TearDownTestSuite() {
        RemoveService();
        manager_.reset();
        ::CoUninitialize();
    }
    static void RemoveService() {
        ScHandle old(::OpenServiceW(manager_.get(), kService, SERVICE_ALL_ACCESS));
        if (!old) return;
        SERVICE_STATUS s{};
        ::ControlService(old.get(), SERVICE_CONTROL_STOP, &s);
        WaitFor(SERVICE_STOPPED);
        ::DeleteService(old.get());
    }
    static bool WaitFor(DWORD state) {
        ScHandle service(::OpenServiceW(manager_.get(), kService, SERVICE_QUERY_STATUS));
        for (int i = 0; service && i < 200; ++i) {
            SERVICE_STATUS s{};
            if (::QueryServiceStatus(service.get(), &s) && s.dwCurrentState == state) return true;
            ::Sleep(50);
        }
        return false;
    }
    static void Start() {
        ScHandle service(::OpenServiceW(manager_.get(), kService, SERVICE_START));
        ASSERT_TRUE(service && ::StartServiceW(service.get(), 0, nullptr)) << ::GetLastError();
        ASSERT_TRUE(WaitFor(SERVICE_RUNNING));
    }
    static void Control(DWORD code, DWORD state) {
        ScHandle service(::OpenServiceW(manager_.get(), kService, SERVICE_STOP | SERVICE_PAUSE_CONTINUE));
        SERVICE_STATUS s{};
        ASSERT_TRUE(service && ::ControlService(service.get(), code, &s)) << ::GetLastError();
        ASSERT_TRUE(WaitFor(state));
    }

    // Status through late binding by name, the way the manager reads it.
    static long LateBoundStatus(IDispatch* service) {
        LPOLESTR name = const_cast<LPOLESTR>(L"Status");
        DISPID id = 0;
        EXPECT_EQ(service->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
        DISPPARAMS none{};
        vantrel::Variant result;
        EXPECT_EQ(service->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result.get(), nullptr, nullptr), S_OK);
        EXPECT_EQ(result->vt, VT_I4);
        return result->lVal;
    }

    // The service object through ADsGetObject and the container's GetObject.
    static ComPtr<IADsServiceOperations> ServiceByADsGetObject(const std::wstring& name = kService) {
        ComPtr<IADsContainer> computer;
        HRESULT hr = ::ADsGetObject(ComputerPath().c_str(), IID_IADsContainer, &computer);
        EXPECT_EQ(hr, S_OK);
        if (FAILED(hr)) return nullptr;
        vantrel::Bstr cls(L"service"), rel(name);
        ComPtr<IDispatch> object;
        EXPECT_EQ(computer->GetObject(cls.get(), rel.get(), &object), S_OK);
        ComPtr<IADsServiceOperations> service;
        if (object) {
            EXPECT_EQ(object->QueryInterface(IID_IADsServiceOperations, reinterpret_cast<void**>(service.GetAddressOf())), S_OK);
        }
        return service;
    }

    // Runs the VBScript client and returns what it printed.
    static std::string RunScript(long expected) {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        HANDLE read = nullptr, write = nullptr;
        if (!::CreatePipe(&read, &write, &sa, 0)) return "no pipe";
        vantrel::Handle reader(read), writer(write);
        ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
        std::wstring command = std::wstring(L"cscript.exe //nologo \"") + CLIENT_VBS_PATH + L"\" " + kService + L" " +
                               std::to_wstring(expected);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = writer.get();
        si.hStdError = writer.get();
        si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
            return "cscript not started";
        vantrel::Handle process(pi.hProcess), thread(pi.hThread);
        writer.reset();
        std::string output;
        char buffer[512];
        DWORD n = 0;
        while (::ReadFile(reader.get(), buffer, sizeof buffer, &n, nullptr) && n > 0) output.append(buffer, n);
        ::WaitForSingleObject(process.get(), 60000);
        return output;
    }

    static ScHandle manager_;
};

ScHandle Provider::manager_;

TEST_F(Provider, SystemInfoNamesThisComputer) {
    ComPtr<IADsWinNTSystemInfo> info;
    ASSERT_EQ(::CoCreateInstance(CLSID_WinNTSystemInfo, nullptr, CLSCTX_INPROC_SERVER, IID_IADsWinNTSystemInfo,
                                 &info), S_OK);
    vantrel::Bstr name;
    ASSERT_EQ(info->get_ComputerName(name.put()), S_OK);
    EXPECT_EQ(name.str(), ComputerName());
    // Late bound, as the manager reads it.
    LPOLESTR member = const_cast<LPOLESTR>(L"ComputerName");
    DISPID id = 0;
    ASSERT_EQ(info->GetIDsOfNames(IID_NULL, &member, 1, 0, &id), S_OK);
    DISPPARAMS none{};
    vantrel::Variant result;
    ASSERT_EQ(info->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result.get(), nullptr, nullptr), S_OK);
    ASSERT_EQ(result->vt, VT_BSTR);
    EXPECT_EQ(std::wstring(result->bstrVal), ComputerName());
}

TEST_F(Provider, StatusFollowsTheServiceThroughEveryState) {
    auto service = ServiceByADsGetObject();
    ASSERT_TRUE(service);
    LONG status = 0;
    ASSERT_EQ(service->get_Status(&status), S_OK);
    EXPECT_EQ(status, 1);  // stopped

    // One object answers afresh on every read.
    Start();
    ASSERT_EQ(service->get_Status(&status), S_OK);
    EXPECT_EQ(status, 4);  // running
    Control(SERVICE_CONTROL_PAUSE, SERVICE_PAUSED);
    ASSERT_EQ(service->get_Status(&status), S_OK);
    EXPECT_EQ(status, 7);  // paused
    Control(SERVICE_CONTROL_CONTINUE, SERVICE_RUNNING);
    EXPECT_EQ(LateBoundStatus(service.Get()), 4);
    Control(SERVICE_CONTROL_STOP, SERVICE_STOPPED);
    EXPECT_EQ(LateBoundStatus(service.Get()), 1);

    vantrel::Bstr cls, path;
    ASSERT_EQ(service->get_Class(cls.put()), S_OK);
    EXPECT_EQ(cls.str(), L"Service");
    ASSERT_EQ(service->get_ADsPath(path.put()), S_OK);
    EXPECT_EQ(path.str(), L"WinNT://" + ComputerName() + L"/" + kService);
}

TEST_F(Provider, DisplayNameBindingReachesTheSameService) {
    // MkParseDisplayName resolves the ProgID "WinNT" and asks its class object to parse.
    ComPtr<IBindCtx> ctx;
    ASSERT_EQ(::CreateBindCtx(0, &ctx), S_OK);
    ComPtr<IMoniker> moniker;
    ULONG eaten = 0;
    const std::wstring path = ComputerPath();
    ASSERT_EQ(::MkParseDisplayName(ctx.Get(), path.c_str(), &eaten, &moniker), S_OK);
    EXPECT_EQ(eaten, path.size());
    ComPtr<IDispatch> computer;
    ASSERT_EQ(moniker->BindToObject(ctx.Get(), nullptr, IID_IDispatch, &computer), S_OK);

    // The container's GetObject late bound, with a script's by-reference arguments.
    LPOLESTR member = const_cast<LPOLESTR>(L"GetObject");
    DISPID id = 0;
    ASSERT_EQ(computer->GetIDsOfNames(IID_NULL, &member, 1, 0, &id), S_OK);
    vantrel::Variant cls, name;
    cls->vt = VT_BSTR;
    cls->bstrVal = ::SysAllocString(L"Service");
    name->vt = VT_BSTR;
    name->bstrVal = ::SysAllocString(kService);
    VARIANT args[2];
    args[0].vt = VT_BYREF | VT_VARIANT;  // last argument first
    args[0].pvarVal = name.get();
    args[1].vt = VT_BYREF | VT_VARIANT;
    args[1].pvarVal = cls.get();
    DISPPARAMS params{args, nullptr, 2, 0};
    vantrel::Variant result;
    ASSERT_EQ(computer->Invoke(id, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, result.get(), nullptr,
                               nullptr), S_OK);
    ASSERT_EQ(result->vt, VT_DISPATCH);
    EXPECT_EQ(LateBoundStatus(result->pdispVal), 1);

    // CoGetObject takes the same road.
    ComPtr<IADsContainer> container;
    ASSERT_EQ(::CoGetObject(path.c_str(), nullptr, IID_IADsContainer, &container), S_OK);
}

TEST_F(Provider, FailuresGiveTheProvidersErrors) {
    ComPtr<IDispatch> object;
    EXPECT_EQ(::ADsGetObject(L"WinNT://NOT-THIS-COMPUTER,Computer", IID_IDispatch, &object),
              HRESULT_FROM_WIN32(ERROR_BAD_NETPATH));
    EXPECT_EQ(::ADsGetObject((L"WinNT://" + ComputerName() + L",User").c_str(), IID_IDispatch, &object),
              E_ADS_BAD_PATHNAME);

    ComPtr<IADsContainer> computer;
    ASSERT_EQ(::ADsGetObject(ComputerPath().c_str(), IID_IADsContainer, &computer), S_OK);
    vantrel::Bstr service(L"service"), user(L"user"), missing(L"VtNoSuchService"), empty(L"");
    EXPECT_EQ(computer->GetObject(user.get(), missing.get(), &object), E_ADS_UNKNOWN_OBJECT);
    EXPECT_EQ(computer->GetObject(service.get(), missing.get(), &object),
              HRESULT_FROM_WIN32(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_EQ(computer->GetObject(service.get(), empty.get(), &object), E_ADS_BAD_PARAMETER);
    EXPECT_FALSE(object);
}

TEST_F(Provider, ScriptReadsRunningAndStopped) {
    std::string out = RunScript(1);
    EXPECT_NE(out.find("adsi client: status 1, all checks passed"), std::string::npos) << out;
    EXPECT_EQ(out.find("FAIL"), std::string::npos) << out;
    Start();
    out = RunScript(4);
    EXPECT_NE(out.find("adsi client: status 4, all checks passed"), std::string::npos) << out;
    EXPECT_EQ(out.find("FAIL"), std::string::npos) << out;
    Control(SERVICE_CONTROL_STOP, SERVICE_STOPPED);
}

}  // namespace
