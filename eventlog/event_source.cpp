// EventSource: reports events to a log as a named source, registering lazily.
#include <windows.h>

#include <string>
#include <vector>

#include "classes.h"
#include "core/source_name.h"
#include "error_report.h"
#include "lorvex.h"
#include "platform/evtlog/evtapi.h"
#include "platform/winapi/com_server.h"
#include "platform/winapi/oleauto.h"
#include "variant_blocks.h"

namespace lorvex {
namespace {

std::wstring FromBstr(BSTR s) { return s ? std::wstring(s, ::SysStringLen(s)) : std::wstring(); }

class EventSource final : public vantrel::com::Dual<IEventSource> {
public:
    ~EventSource() override { Deregister(); }

    STDMETHODIMP get_hEventSource(long* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!pVal) return ReportNullPointer(CLSID_EventSource);
            *pVal = static_cast<long>(reinterpret_cast<INT_PTR>(handle_));
            return S_OK;
        });
    }
    STDMETHODIMP get_ComputerName(BSTR* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return CopyOut(computer_name_, pVal); });
    }
    STDMETHODIMP put_ComputerName(BSTR newVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            computer_name_ = FromBstr(newVal);
            Deregister();
            return S_OK;
        });
    }
    STDMETHODIMP get_SourceName(BSTR* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return CopyOut(source_name_, pVal); });
    }
    STDMETHODIMP put_SourceName(BSTR newVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            source_name_ = FromBstr(newVal);
            Deregister();
            return S_OK;
        });
    }
    STDMETHODIMP get_Category(long* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!pVal) return ReportNullPointer(CLSID_EventSource);
            *pVal = category_;
            return S_OK;
        });
    }
    STDMETHODIMP put_Category(long newVal) override {
        category_ = newVal;
        return S_OK;
    }
    STDMETHODIMP get_UserId(long* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!pVal) return ReportNullPointer(CLSID_EventSource);
            *pVal = user_sid_.empty() ? 0 : 1;
            return S_OK;
        });
    }
    STDMETHODIMP put_UserId(long newVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (newVal == 0) {
                user_sid_.clear();
                return S_OK;
            }
            return LookupUserSid();
        });
    }
    STDMETHODIMP ReportInformation(long EventId, VARIANT Strings, VARIANT Data) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            return Report(EVENTLOG_INFORMATION_TYPE, EventId, Strings, Data);
        });
    }
    STDMETHODIMP ReportWarning(long EventId, VARIANT Strings, VARIANT Data) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            return Report(EVENTLOG_WARNING_TYPE, EventId, Strings, Data);
        });
    }
    STDMETHODIMP ReportError(long EventId, VARIANT Strings, VARIANT Data) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            return Report(EVENTLOG_ERROR_TYPE, EventId, Strings, Data);
        });
    }

private:
    static HRESULT CopyOut(const std::wstring& s, BSTR* out) {
        if (!out) return ReportNullPointer(CLSID_EventSource);
        *out = ::SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    void Deregister() {
        if (handle_) vantrel::evtapi::Get().DeregisterEventSource(handle_);
        handle_ = nullptr;
    }

    HRESULT Register() {
        if (handle_) return S_OK;
        std::string name = vantrel::AnsiFromWide(source_name_);
        if (name.empty()) {
            char path[260];
            DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
            if (n == 0) return lorvex::ReportWin32Error(CLSID_EventSource, ::GetLastError(), "Error getting module file name");
            name = DefaultSourceName(std::string(path, n));
        }
        std::string computer = vantrel::AnsiFromWide(computer_name_);
        handle_ = vantrel::evtapi::Get().RegisterEventSourceA(computer.empty() ? nullptr : computer.c_str(), name.c_str());
        if (!handle_) return lorvex::ReportWin32Error(CLSID_EventSource, ::GetLastError(), "Error registering event source");
        return S_OK;
    }

    HRESULT LookupUserSid() {
        user_sid_.clear();
        DWORD size = 0;
        ::GetUserNameA(nullptr, &size);
        std::vector<char> user;
        if (!vantrel::com::TryResize(user, size ? size : 1, "user name"))
            return lorvex::ReportError(CLSID_EventSource, E_OUTOFMEMORY, "Failed to allocate memory for user name");
        if (!::GetUserNameA(user.data(), &size))
            return lorvex::ReportWin32Error(CLSID_EventSource, ::GetLastError(), "Error getting user name");
        DWORD sid_size = 0, domain_size = 0;
        SID_NAME_USE use;
        ::LookupAccountNameA(nullptr, user.data(), nullptr, &sid_size, nullptr, &domain_size, &use);
        std::vector<char> domain;
        if (!vantrel::com::TryResize(domain, domain_size ? domain_size : 1, "domain name"))
            return lorvex::ReportError(CLSID_EventSource, E_OUTOFMEMORY, "Failed to allocate memory for domain name");
        std::vector<BYTE> sid;
        if (!vantrel::com::TryResize(sid, sid_size ? sid_size : 1, "SID"))
            return lorvex::ReportError(CLSID_EventSource, E_OUTOFMEMORY, "Failed to allocate memory for SID");
        if (!::LookupAccountNameA(nullptr, user.data(), sid.data(), &sid_size, domain.data(), &domain_size, &use))
            return lorvex::ReportWin32Error(CLSID_EventSource, ::GetLastError(), "Error looking up account name");
        user_sid_ = std::move(sid);
        return S_OK;
    }

    HRESULT Report(WORD type, long event_id, const VARIANT& strings_arg, const VARIANT& data_arg) {
        HRESULT hr = Register();
        if (FAILED(hr)) return hr;
        std::vector<std::string> strings;
        hr = VariantToStringBlock(CLSID_EventSource, strings_arg, &strings);
        if (FAILED(hr)) return hr;
        std::vector<BYTE> data;
        hr = VariantToByteBlock(CLSID_EventSource, data_arg, &data);
        if (FAILED(hr)) return hr;
        std::vector<const char*> pointers;
        for (const auto& s : strings) pointers.push_back(s.c_str());
        if (!vantrel::evtapi::Get().ReportEventA(handle_, type, static_cast<WORD>(category_ & 0xFFFF),
                                                 static_cast<DWORD>(event_id),
                                                 user_sid_.empty() ? nullptr : user_sid_.data(),
                                                 static_cast<WORD>(pointers.size()), static_cast<DWORD>(data.size()),
                                                 pointers.empty() ? nullptr : pointers.data(),
                                                 data.empty() ? nullptr : data.data()))
            return lorvex::ReportWin32Error(CLSID_EventSource, ::GetLastError(), "Error reporting event");
        return S_OK;
    }

    std::wstring computer_name_;
    std::wstring source_name_;
    long category_ = 0;
    std::vector<BYTE> user_sid_;
    HANDLE handle_ = nullptr;
};

}  // namespace

HRESULT CreateEventSource(REFIID riid, void** ppv) { return vantrel::com::CreateObject<EventSource>(riid, ppv); }

}  // namespace lorvex
