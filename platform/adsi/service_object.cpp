#include "service_object.h"

#include <adserr.h>

#include "automation.h"
#include "core/winnt_path.h"
#include "platform/winapi/handles.h"

namespace vantrel::adsi {

namespace {

inline void CloseService(SC_HANDLE h) { ::CloseServiceHandle(h); }
using ScHandle = UniqueHandle<HandleTraits<SC_HANDLE, CloseService>>;

enum : DISPID { kName = 1, kClass, kADsPath, kParent, kStatus };
const DispMember kMembers[] = {
    {L"Name", kName}, {L"Class", kClass}, {L"ADsPath", kADsPath}, {L"Parent", kParent}, {L"Status", kStatus},
};

HRESULT OpenService(const std::wstring& name, DWORD access, ScHandle& service) {
    ScHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        DWORD code = ::GetLastError();
        return Fail(HRESULT_FROM_WIN32(code), SystemMessage(code));
    }
    service.reset(::OpenServiceW(manager.get(), name.c_str(), access));
    if (!service) {
        DWORD code = ::GetLastError();
        return Fail(HRESULT_FROM_WIN32(code), SystemMessage(code));
    }
    return S_OK;
}

HRESULT PutText(BSTR* out, const std::wstring& text) {
    if (!out) return E_POINTER;
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

class ServiceObject : public Automation<IADsServiceOperations, IADs> {
public:
    ServiceObject(std::wstring computer, std::wstring name) : computer_(std::move(computer)), name_(std::move(name)) {}

    // IADs
    STDMETHODIMP get_Name(BSTR* out) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return PutText(out, name_); });
    }
    STDMETHODIMP get_Class(BSTR* out) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return PutText(out, L"Service"); });
    }
    STDMETHODIMP get_GUID(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_ADsPath(BSTR* out) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return PutText(out, ServicePath(computer_, name_)); });
    }
    STDMETHODIMP get_Parent(BSTR* out) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return PutText(out, ComputerPath(computer_)); });
    }
    STDMETHODIMP get_Schema(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetInfo() override { return E_NOTIMPL; }
    STDMETHODIMP SetInfo() override { return E_NOTIMPL; }
    STDMETHODIMP Get(BSTR, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP Put(BSTR, VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP GetEx(BSTR, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP PutEx(LONG, BSTR, VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP GetInfoEx(VARIANT, LONG) override { return E_NOTIMPL; }

    // IADsServiceOperations: the state is read afresh on every call.
    STDMETHODIMP get_Status(LONG* out) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!out) return E_POINTER;
            ScHandle service;
            HRESULT hr = OpenService(name_, SERVICE_QUERY_STATUS, service);
            if (FAILED(hr)) return hr;
            SERVICE_STATUS status{};
            if (!::QueryServiceStatus(service.get(), &status)) {
                DWORD code = ::GetLastError();
                return Fail(HRESULT_FROM_WIN32(code), SystemMessage(code));
            }
            *out = ServiceStatusFromState(status.dwCurrentState);
            return S_OK;
        });
    }
    // Controlling the service is not what this substitute is for.
    STDMETHODIMP Start() override { return E_NOTIMPL; }
    STDMETHODIMP Stop() override { return E_NOTIMPL; }
    STDMETHODIMP Pause() override { return E_NOTIMPL; }
    STDMETHODIMP Continue() override { return E_NOTIMPL; }
    STDMETHODIMP SetPassword(BSTR) override { return E_NOTIMPL; }

protected:
    const DispMember* Members(size_t& count) const override {
        count = sizeof kMembers / sizeof kMembers[0];
        return kMembers;
    }
    HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) override {
        if (!IsGet(flags, params)) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        switch (id) {
        case kName: return ResultText(result, name_);
        case kClass: return ResultText(result, L"Service");
        case kADsPath: return ResultText(result, ServicePath(computer_, name_));
        case kParent: return ResultText(result, ComputerPath(computer_));
        case kStatus: {
            LONG status = 0;
            HRESULT hr = get_Status(&status);
            return FAILED(hr) ? hr : ResultLong(result, status);
        }
        }
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    std::wstring computer_;
    std::wstring name_;
};

}  // namespace

HRESULT CreateServiceObject(const std::wstring& computer, const std::wstring& name, IDispatch** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (name.empty()) return Fail(E_ADS_BAD_PARAMETER, L"No service name");
    // Like the platform's provider, an object is only handed out for an installed service.
    ScHandle service;
    HRESULT hr = OpenService(name, SERVICE_QUERY_STATUS, service);
    if (FAILED(hr)) return hr;
    auto* obj = new (std::nothrow) ServiceObject(computer, name);
    if (!obj) return E_OUTOFMEMORY;
    *object = obj;
    return S_OK;
}

}  // namespace vantrel::adsi
