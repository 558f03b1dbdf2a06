#include "service_status.h"

#include <ole2.h>
#include <activeds.h>
#include <iads.h>
#include <wrl/client.h>

#include <cstdio>

#include "platform/winapi/oleauto.h"

using Microsoft::WRL::ComPtr;

namespace vantrel::manager {

namespace {

void Check(HRESULT hr) {
    if (FAILED(hr)) throw ManagerError(hr, ErrorDescription(hr));
}

// One property read through IDispatch by name.
void GetProperty(IDispatch* object, const wchar_t* name, Variant& result) {
    LPOLESTR member = const_cast<LPOLESTR>(name);
    DISPID id = 0;
    Check(object->GetIDsOfNames(IID_NULL, &member, 1, LOCALE_USER_DEFAULT, &id));
    std::vector<VARIANT> none;
    const vantrel::com::CallOutcome outcome =
        vantrel::com::InvokeMember(object, id, DISPATCH_PROPERTYGET, none, result.put());
    if (outcome.raised) throw CallFailure(outcome);
    Check(outcome.hr);
}

}  // namespace

std::string SystemText(HRESULT hr) {
    char* msg = nullptr;
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<char*>(&msg), 0, nullptr);
    std::string text = n ? std::string(msg, n) : std::string("Automation error");
    if (msg) ::LocalFree(msg);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

std::string ErrorDescription(HRESULT hr) {
    // The error information of the failing object first, then the system's text.
    ComPtr<IErrorInfo> info;
    if (::GetErrorInfo(0, &info) == S_OK && info) {
        Bstr text;
        if (SUCCEEDED(info->GetDescription(text.put())) && text.length()) return AnsiFromWide(text.str());
    }
    return SystemText(hr);
}

ManagerError CallFailure(const vantrel::com::CallOutcome& outcome) {
    std::string text = AnsiFromWide(outcome.description);
    // System messages end with a line break that a message box would show as a blank line.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return ManagerError(outcome.hr, text.empty() ? SystemText(outcome.hr) : text);
}

long QueryServiceStatusNumber(const std::string& service_name) {
    ComPtr<IDispatch> info;
    Check(::CoCreateInstance(CLSID_WinNTSystemInfo, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &info));
    Variant computer;
    GetProperty(info.Get(), L"ComputerName", computer);
    Check(::VariantChangeType(computer.get(), computer.get(), 0, VT_BSTR));
    const std::wstring path = L"WinNT://" + std::wstring(computer->bstrVal, ::SysStringLen(computer->bstrVal)) + L",Computer";
    ComPtr<IADsContainer> container;
    Check(::ADsGetObject(path.c_str(), IID_IADsContainer, &container));
    Bstr cls(L"service"), name(WideFromAnsi(service_name));
    ComPtr<IDispatch> service;
    Check(container->GetObject(cls.get(), name.get(), &service));
    Variant status;
    GetProperty(service.Get(), L"Status", status);
    Check(::VariantChangeType(status.get(), status.get(), 0, VT_I4));
    return status->lVal;
}

void PumpingSleep(int seconds) {
    const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(seconds > 0 ? seconds : 0) * 1000;
    while (::GetTickCount64() < end) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

std::string RunTimeErrorText(long number, const std::string& description) {
    std::string shown = std::to_string(number);
    if (number < 0) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(number) & 0xFFFFFFFFul);
        shown += std::string(" (") + hex + ")";
    }
    return "Run-time error '" + shown + "': " + description;
}

std::string ErrorMessage(const ManagerError& e) { return RunTimeErrorText(e.hr(), e.what()); }

}  // namespace vantrel::manager
