#include "automation/service_control.h"

#include <wrl/client.h>

#include <cstring>
#include <utility>
#include <vector>

#include "automation/adapters.h"
#include "automation/state_io.h"
#include "core/errors.h"
#include "core/published_properties.h"
#include "core/string_list.h"
#include "platform/winapi/connection_point.h"
#include "platform/winapi/oleauto.h"

using Microsoft::WRL::ComPtr;

namespace dovrin::automation {

// {85C28E60-AFAC-11D2-9A09-00000100C2E6}
const CLSID kLogonAsPage = {0x85C28E60, 0xAFAC, 0x11D2, {0x9A, 0x09, 0x00, 0x00, 0x01, 0x00, 0xC2, 0xE6}};
// {DDF49D02-D239-11D2-9A3F-00000100C2E6}
const CLSID kManagerAccessPage = {0xDDF49D02, 0xD239, 0x11D2, {0x9A, 0x3F, 0x00, 0x00, 0x01, 0x00, 0xC2, 0xE6}};
// {DDF49D05-D239-11D2-9A3F-00000100C2E6}
const CLSID kServiceAccessPage = {0xDDF49D05, 0xD239, 0x11D2, {0x9A, 0x3F, 0x00, 0x00, 0x01, 0x00, 0xC2, 0xE6}};
// {F1059331-D204-11D2-9A3E-00000100C2E6}
const CLSID kDependenciesPage = {0xF1059331, 0xD204, 0x11D2, {0x9A, 0x3E, 0x00, 0x00, 0x01, 0x00, 0xC2, 0xE6}};

namespace {

constexpr DISPID kMachineNameId = DISPID_NTPERSISTENTX_MACHINENAME;
constexpr DISPID kManagerAccessId = DISPID_NTSERVICEX_MANAGERACCESS;
constexpr DISPID kServiceAccessId = DISPID_NTSERVICEX_SERVICEACCESS;
constexpr DISPID kServiceNameId = DISPID_NTSERVICEX_SERVICENAME;
constexpr DISPID kLoadOrderId = DISPID_NTSERVICEX_LOADORDER;
constexpr DISPID kDependenciesId = DISPID_NTSERVICEX_DEPENDENCIES;
constexpr DISPID kLogonAsId = DISPID_NTPERSISTENTX_LOGONAS;

std::string JoinNames(std::vector<const char*> names) {
    std::string text;
    for (const char* n : names) text += std::string(n) + "+";
    if (!text.empty()) text.pop_back();
    return text;
}

// The stream as Save writes it: a 32-bit length, then the bytes; a length beyond the
// limit is refused before anything is allocated.
std::vector<std::uint8_t> ReadControlStateStream(IStream* stream) {
    ULONG size = 0, read = 0;
    HRESULT hr = stream->Read(&size, sizeof size, &read);
    if (FAILED(hr) || read != sizeof size) throw Error("Invalid control state stream: truncated");
    if (size > kMaxControlState) throw Error("Invalid control state stream: too long");
    std::vector<std::uint8_t> bytes(size);
    if (size) {
        hr = stream->Read(bytes.data(), size, &read);
        if (FAILED(hr) || read != size) throw Error("Invalid control state stream: truncated");
    }
    return bytes;
}

// CoTaskMem copy of a text for the property browser.
LPOLESTR TaskText(const std::string& text) {
    std::wstring w = vantrel::WideFromAnsi(text);
    auto p = static_cast<LPOLESTR>(::CoTaskMemAlloc((w.size() + 1) * sizeof(wchar_t)));
    if (p) std::memcpy(p, w.c_str(), (w.size() + 1) * sizeof(wchar_t));
    return p;
}

// The control's one connection point, for its event interface. The control raises no
// events; it keeps the container's sink while connected, as containers expect.
class EventPoint : public vantrel::com::ConnectionPointBase {
public:
    explicit EventPoint(IConnectionPointContainer* owner) : ConnectionPointBase(owner, DIID_INTServiceXEvents) {}
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!sink || !cookie) return E_POINTER;
            *cookie = 0;
            if (sink_) return CONNECT_E_ADVISELIMIT;
            ComPtr<IDispatch> events;
            if (FAILED(sink->QueryInterface(DIID_INTServiceXEvents, reinterpret_cast<void**>(events.GetAddressOf()))) &&
                FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(events.GetAddressOf()))))
                return CONNECT_E_CANNOTCONNECT;
            sink_ = events;
            *cookie = 1;
            return S_OK;
        });
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (cookie != 1 || !sink_) return CONNECT_E_NOCONNECTION;
            sink_.Reset();
            return S_OK;
        });
    }
    void Drop() { sink_.Reset(); }

protected:
    std::vector<vantrel::com::Advised> Connections() const override {
        if (!sink_) return {};
        return {{1, sink_}};
    }

private:
    ComPtr<IDispatch> sink_;
};

using vantrel::com::Chain;

class ServiceControl : public vantrel::com::Dual<Chain<INTServiceX, INTPersistentX>,
                                                 IOleObject,
                                                 IOleControl,
                                                 Chain<IOleInPlaceObject, IOleWindow>,
                                                 Chain<IPersistStreamInit, IPersist>,
                                                 IPersistPropertyBag,
                                                 IProvideClassInfo,
                                                 ISpecifyPropertyPages,
                                                 IPerPropertyBrowsing,
                                                 IConnectionPointContainer>,
                       private AutomationHost {
public:
    ServiceControl() { service_.SetAutomationHost(this); }
    ~ServiceControl() override {
        events_.Drop();
        DetachLogonAs(service_.LogonAs());
        service_.SetAutomationHost(nullptr);
        service_.DestroyWindowHandle();
    }
    ServiceControl(const ServiceControl&) = delete;
    ServiceControl& operator=(const ServiceControl&) = delete;

    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
        return (riid == IID_INTServiceX || riid == IID_INTPersistentX) ? S_OK : S_FALSE;
    }

    // INTPersistentX
    STDMETHODIMP Repaint() override {
        return Guard([&] {
            if (HWND w = service_.WindowHandle()) {
                ::InvalidateRect(w, nullptr, TRUE);
                ::UpdateWindow(w);
            }
        });
    }
    STDMETHODIMP Noop() override { return S_OK; }
    STDMETHODIMP ClassNameIs(BSTR name, VARIANT_BOOL* v) override {
        if (!v) return E_POINTER;
        return Guard([&] { *v = Bool(SameText(service_.ClassName(), Text(name))); });
    }
    STDMETHODIMP GetPrimaryDCName(BSTR* v) override {
        return TextResult(v, [&] { return service_.GetPrimaryDCName(); });
    }
    STDMETHODIMP GetDCName(BSTR domain, BSTR* v) override {
        return TextResult(v, [&] { return service_.GetDCName(Text(domain)); });
    }
    STDMETHODIMP GetServers(BSTR server, IStringList** v) override {
        return ListResult(v, [&] { return service_.GetServers(Text(server)); });
    }
    STDMETHODIMP GetLocalGroups(BSTR server, IStringList** v) override {
        return ListResult(v, [&] { return service_.GetLocalGroups(Text(server)); });
    }
    STDMETHODIMP GetGlobalGroups(BSTR server, IStringList** v) override {
        return ListResult(v, [&] { return service_.GetGlobalGroups(Text(server)); });
    }
    STDMETHODIMP GetUsers(BSTR server, long filter, IStringList** v) override {
        return ListResult(v, [&] {
            return service_.GetUsers(Text(server), UserFilterFromWin32(DWORD(filter)));
        });
    }
    STDMETHODIMP GetAccounts(BSTR server, long mask, IStringList** v) override {
        return ListResult(v, [&] { return service_.GetAccounts(Text(server), DWORD(mask)); });
    }
    STDMETHODIMP GetComputerName(BSTR* v) override {
        return TextResult(v, [&] { return service_.GetComputerName(); });
    }
    STDMETHODIMP get_MachineName(BSTR* v) override {
        return TextResult(v, [&] { return service_.GetMachineName(); });
    }
    STDMETHODIMP put_MachineName(BSTR v) override {
        return Changed(Guard([&] { service_.SetMachineName(Text(v)); }));
    }
    STDMETHODIMP get_LogonAs(ILogonAs** v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = nullptr;
            return LogonAsObjectOf(service_.LogonAs(), v);
        });
    }
    STDMETHODIMP put_LogonAs(ILogonAs*) override { return S_OK; }
    STDMETHODIMP GetPrimaryDomainName(BSTR* v) override {
        return TextResult(v, [&] { return service_.GetPrimaryDomainName(); });
    }
    STDMETHODIMP GetEveryoneName(BSTR system, BSTR* v) override {
        return TextResult(v, [&] { return service_.GetEveryoneName(Text(system)); });
    }
    STDMETHODIMP GetServerList(BSTR server, long mask, IStringList** v) override {
        return ListResult(v, [&] { return service_.GetServerList(Text(server), DWORD(mask)); });
    }
    STDMETHODIMP GetLocalGroupMembers(BSTR server, BSTR group, long mask, IStringList** v) override {
        return ListResult(v, [&] {
            return service_.GetLocalGroupMembers(Text(server), Text(group), DWORD(mask));
        });
    }
    STDMETHODIMP GetGroupUsers(BSTR server, BSTR group, IStringList** v) override {
        return ListResult(v, [&] { return service_.GetGroupUsers(Text(server), Text(group)); });
    }

    // INTServiceX
    STDMETHODIMP get_DatabaseName(BSTR* v) override {
        return TextResult(v, [&] { return service_.DatabaseName(); });
    }
    STDMETHODIMP put_DatabaseName(BSTR v) override {
        return Changed(Guard([&] { service_.SetDatabaseName(Text(v)); }));
    }
    STDMETHODIMP get_ManagerAccess(TManagerAccess* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = TManagerAccess(ManagerAccessToWin32(service_.GetManagerAccess()));
            return S_OK;
        });
    }
    STDMETHODIMP put_ManagerAccess(TManagerAccess v) override {
        return Changed(Guard([&] { service_.SetManagerAccess(Win32ToManagerAccess(std::uint32_t(v))); }));
    }
    STDMETHODIMP get_ServiceAccess(TServiceAccess* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = TServiceAccess(ServiceAccessToWin32(service_.GetServiceAccess()));
            return S_OK;
        });
    }
    STDMETHODIMP put_ServiceAccess(TServiceAccess v) override {
        return Changed(Guard([&] { service_.SetServiceAccess(Win32ToServiceAccess(std::uint32_t(v))); }));
    }
    STDMETHODIMP get_ServiceName(BSTR* v) override {
        return TextResult(v, [&] { return service_.ServiceName(); });
    }
    STDMETHODIMP put_ServiceName(BSTR v) override {
        return Changed(Guard([&] { service_.SetServiceName(Text(v)); }));
    }
    STDMETHODIMP get_DisplayName(BSTR* v) override {
        return TextResult(v, [&] { return service_.DisplayName(); });
    }
    STDMETHODIMP put_DisplayName(BSTR v) override {
        return Changed(Guard([&] { service_.SetDisplayName(Text(v)); }));
    }
    STDMETHODIMP get_BinaryPathName(BSTR* v) override {
        return TextResult(v, [&] { return service_.BinaryPathName(); });
    }
    STDMETHODIMP put_BinaryPathName(BSTR v) override {
        return Changed(Guard([&] { service_.SetBinaryPathName(Text(v)); }));
    }
    STDMETHODIMP get_StartType(TStartType* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = TStartType(StartTypeToWin32(service_.GetStartType()));
            return S_OK;
        });
    }
    STDMETHODIMP put_StartType(TStartType v) override {
        return Changed(Guard([&] { service_.SetStartType(Win32ToStartType(std::uint32_t(v))); }));
    }
    STDMETHODIMP get_ErrorControl(TErrorType* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = TErrorType(ErrorTypeToWin32(service_.GetErrorControl()));
            return S_OK;
        });
    }
    STDMETHODIMP put_ErrorControl(TErrorType v) override {
        return Changed(Guard([&] { service_.SetErrorControl(Win32ToErrorType(std::uint32_t(v))); }));
    }
    STDMETHODIMP get_ServiceType(TServiceTypes* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = TServiceTypes(ServiceTypesToWin32(service_.GetServiceType()));
            return S_OK;
        });
    }
    STDMETHODIMP put_ServiceType(TServiceTypes v) override {
        return Changed(Guard([&] { service_.SetServiceType(Win32ToServiceTypes(std::uint32_t(v))); }));
    }
    STDMETHODIMP get_LoadOrder(BSTR* v) override {
        return TextResult(v, [&] { return service_.LoadOrder(); });
    }
    STDMETHODIMP put_LoadOrder(BSTR v) override {
        return Changed(Guard([&] { service_.SetLoadOrder(Text(v)); }));
    }
    STDMETHODIMP get_TagId(long* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = long(service_.TagId());
            return S_OK;
        });
    }
    STDMETHODIMP put_TagId(long v) override {
        return Changed(Guard([&] { service_.SetTagId(std::uint32_t(v)); }));
    }
    STDMETHODIMP get_Dependencies(IStringList** v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = nullptr;
            dirty_ = true;  // edits through the object change the persisted list
            return StringListObjectOver(&service_.Dependencies(), static_cast<INTServiceX*>(this), v);
        });
    }
    STDMETHODIMP put_Dependencies(IStringList*) override { return S_OK; }
    STDMETHODIMP get_ServiceStartName(BSTR* v) override {
        return TextResult(v, [&] { return service_.ServiceStartName(); });
    }
    STDMETHODIMP put_ServiceStartName(BSTR v) override {
        return Changed(Guard([&] { service_.SetServiceStartName(Text(v)); }));
    }
    STDMETHODIMP get_Password(BSTR* v) override {
        return TextResult(v, [&] { return service_.Password(); });
    }
    STDMETHODIMP put_Password(BSTR v) override {
        return Changed(Guard([&] { service_.SetPassword(Text(v)); }));
    }
    STDMETHODIMP get_ManagerHandle(long* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = HandleValue(service_.ManagerHandle());
            return S_OK;
        });
    }
    STDMETHODIMP get_ServiceHandle(long* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = HandleValue(service_.ServiceHandle());
            return S_OK;
        });
    }
    STDMETHODIMP get_DBLockHandle(long* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = HandleValue(service_.DBLockHandle());
            return S_OK;
        });
    }
    STDMETHODIMP get_DBLocked(VARIANT_BOOL* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = Bool(service_.DBLocked());
            return S_OK;
        });
    }
    STDMETHODIMP put_DBLocked(VARIANT_BOOL v) override {
        return Guard([&] { service_.SetDBLocked((std::uint16_t(v) & 0xFFFF) != 0); });
    }
    STDMETHODIMP DeleteService() override { return Guard([&] { service_.DeleteService(); }); }
    STDMETHODIMP Createservice() override { return Guard([&] { service_.Createservice(); }); }
    STDMETHODIMP Startservice() override { return Guard([&] { service_.Startservice(); }); }
    STDMETHODIMP ControlService(TControlCode code) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            // 1 to 5 are CONTROL_STOP to CONTROL_SHUTDOWN; anything else stops.
            unsigned ordinal = (code >= 1 && code <= 5) ? unsigned(code) - 1 : 0;
            return Guard([&] { service_.ControlService(ordinal); });
        });
    }
    STDMETHODIMP GetServiceDisplayName(BSTR name, BSTR* v) override {
        return TextResult(v, [&] { return service_.GetServiceDisplayName(Text(name)); });
    }
    STDMETHODIMP GetServiceKeyName(BSTR name, BSTR* v) override {
        return TextResult(v, [&] { return service_.GetServiceKeyName(Text(name)); });
    }
    STDMETHODIMP QueryServiceStatus(IServiceStatusClass** v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = nullptr;
            HRESULT made = S_OK;
            HRESULT hr = Guard([&] {
                std::shared_ptr<ServiceStatusClass> record(service_.QueryServiceStatus());
                made = StatusObjectOf(record, v);
            });
            return FAILED(hr) ? hr : made;
        });
    }
    STDMETHODIMP NotifyBootConfigStatus(VARIANT_BOOL acceptable) override {
        return Guard([&] { service_.NotifyBootConfigStatus((std::uint16_t(acceptable) & 0xFFFF) != 0); });
    }
    STDMETHODIMP GetServiceList(TServiceStates state, TEnumSevices type, IEnumList** v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = nullptr;
            HRESULT made = S_OK;
            HRESULT hr = Guard([&] {
                std::shared_ptr<EnumList> list(service_.GetServiceList(
                    ServiceStatesFromAutomation(std::uint32_t(state)),
                    EnumServicesFromAutomation(std::uint32_t(type))));
                made = ListObjectOf(list, v);
            });
            return FAILED(hr) ? hr : made;
        });
    }
    STDMETHODIMP GetDependentServiceList(TServiceStates state, IEnumList** v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = nullptr;
            HRESULT made = S_OK;
            HRESULT hr = Guard([&] {
                std::shared_ptr<EnumList> list(
                    service_.GetDependentServiceList(ServiceStatesFromAutomation(std::uint32_t(state))));
                made = ListObjectOf(list, v);
            });
            return FAILED(hr) ? hr : made;
        });
    }
    STDMETHODIMP QueryServiceLockStatus(IQueryServiceLockStatus** v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = nullptr;
            ComPtr<IQueryServiceLockStatus> object;
            HRESULT hr = NewLockStatusObject(object.GetAddressOf());
            if (FAILED(hr)) return hr;
            hr = Guard([&] {
                LockStatus status = service_.QueryServiceLockStatus();
                object->put_fIsLocked(long(status.is_locked));
                object->put_dwLockDuration(long(status.lock_duration));
                BSTR owner = NewBstr(status.lock_owner);
                object->put_lpLockOwner(owner);
                ::SysFreeString(owner);
            });
            if (SUCCEEDED(hr)) *v = object.Detach();
            return hr;
        });
    }
    STDMETHODIMP GetOrderGroupList(IStringList** v) override {
        return OwnedListResult(v, [&] { return service_.GetOrderGroupList(); });
    }
    STDMETHODIMP GetPropertyServiceNames(IStringList** v) override {
        return OwnedListResult(v, [&] { return service_.GetPropertyServiceNames(); });
    }
    STDMETHODIMP get_ActiveManager(VARIANT_BOOL* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = Bool(service_.ActiveManager());
            return S_OK;
        });
    }
    STDMETHODIMP put_ActiveManager(VARIANT_BOOL v) override {
        return Changed(Guard([&] { service_.SetActiveManager((std::uint16_t(v) & 0xFFFF) != 0); }));
    }
    STDMETHODIMP get_ActiveService(VARIANT_BOOL* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = Bool(service_.ActiveService());
            return S_OK;
        });
    }
    STDMETHODIMP put_ActiveService(VARIANT_BOOL v) override {
        return Changed(Guard([&] { service_.SetActiveService((std::uint16_t(v) & 0xFFFF) != 0); }));
    }

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override {
        site_ = site;
        return S_OK;
    }
    STDMETHODIMP GetClientSite(IOleClientSite** site) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!site) return E_POINTER;
            *site = site_.Get();
            if (*site) (*site)->AddRef();
            return S_OK;
        });
    }
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            InPlaceDeactivate();
            return S_OK;
        });
    }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                        LPCRECT pos) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            switch (verb) {
                case OLEIVERB_PRIMARY:
                case OLEIVERB_SHOW:
                case OLEIVERB_INPLACEACTIVATE:
                case OLEIVERB_UIACTIVATE:
                    return Activate(site ? site : site_.Get(), parent, pos);
                case OLEIVERB_HIDE:
                    if (HWND w = service_.WindowHandle()) ::ShowWindow(w, SW_HIDE);
                    return S_OK;
                default:
                    return OLEOBJ_S_INVALIDVERB;
            }
        });
    }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** e) override { return ::OleRegEnumVerbs(CLSID_VuRURazerir, e); }
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* clsid) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return GetClassID(clsid); });
    }
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override {
        return ::OleRegGetUserType(CLSID_VuRURazerir, form, type);
    }
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL*) override {
        return aspect == DVASPECT_CONTENT ? S_OK : E_FAIL;  // the control keeps its size
    }
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!size) return E_POINTER;
            if (aspect != DVASPECT_CONTENT) return E_FAIL;
            RECT r = service_.Bounds();
            // Pixels to HIMETRIC at 96 dots per inch.
            size->cx = MulDiv(r.right - r.left, 2540, 96);
            size->cy = MulDiv(r.bottom - r.top, 2540, 96);
            return S_OK;
        });
    }
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!advise_ && FAILED(::CreateOleAdviseHolder(advise_.GetAddressOf()))) return E_OUTOFMEMORY;
            return advise_->Advise(sink, cookie);
        });
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            return advise_ ? advise_->Unadvise(cookie) : OLE_E_NOCONNECTION;
        });
    }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** e) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!e) return E_POINTER;
            *e = nullptr;
            return advise_ ? advise_->EnumAdvise(e) : S_OK;
        });
    }
    STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override {
        if (!status) return E_POINTER;
        *status = kMiscStatus;
        return S_OK;
    }
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override {
        if (!info) return E_POINTER;
        info->cb = sizeof *info;
        info->hAccel = nullptr;
        info->cAccel = 0;
        info->dwFlags = 0;
        return S_OK;
    }
    STDMETHODIMP OnMnemonic(MSG*) override { return E_NOTIMPL; }
    STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
    STDMETHODIMP FreezeEvents(BOOL) override { return S_OK; }

    // IOleInPlaceObject
    STDMETHODIMP GetWindow(HWND* w) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!w) return E_POINTER;
            *w = service_.WindowHandle();
            return *w ? S_OK : E_FAIL;
        });
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!service_.WindowHandle()) return S_OK;
            service_.DestroyWindowHandle();
            ComPtr<IOleInPlaceSite> site;
            if (site_ && SUCCEEDED(site_.As(&site))) site->OnInPlaceDeactivate();
            return S_OK;
        });
    }
    STDMETHODIMP UIDeactivate() override { return S_OK; }
    STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!pos) return E_POINTER;
            service_.SetBounds(pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top);
            return S_OK;
        });
    }
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }

    // IPersistStreamInit and IPersistPropertyBag
    STDMETHODIMP GetClassID(CLSID* clsid) override {
        if (!clsid) return E_POINTER;
        *clsid = CLSID_VuRURazerir;
        return S_OK;
    }
    STDMETHODIMP IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
    STDMETHODIMP Load(LPSTREAM stream) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!stream) return E_POINTER;
            std::vector<std::uint8_t> bytes;
            HRESULT hr = Guard([&] { bytes = ReadControlStateStream(stream); });
            if (FAILED(hr)) return hr;
            return Guard([&] {
                ControlState state = DecodeControlState(bytes.data(), bytes.size());
                ApplyState(service_, state);
                dirty_ = false;
            });
        });
    }
    STDMETHODIMP Save(LPSTREAM stream, BOOL clear_dirty) override {
        if (!stream) return E_POINTER;
        return Guard([&] {
            std::vector<std::uint8_t> bytes = EncodeControlState(CaptureState(service_));
            // A length first, so that a container may keep further data behind it.
            ULONG size = ULONG(bytes.size()), written = 0;
            HRESULT hr = stream->Write(&size, sizeof size, &written);
            if (SUCCEEDED(hr) && written == sizeof size) hr = stream->Write(bytes.data(), size, &written);
            if (FAILED(hr) || written != size) throw Error("Cannot write the control state stream");
            if (clear_dirty) dirty_ = false;
        });
    }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override {
        if (!size) return E_POINTER;
        return Guard([&] {
            size->QuadPart = sizeof(ULONG) + EncodeControlState(CaptureState(service_)).size();
        });
    }
    STDMETHODIMP InitNew() override { return S_OK; }
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override {
        if (!bag) return E_POINTER;
        return Guard([&] {
            ControlState state;
            RECT r = service_.Bounds();
            state.width = r.right - r.left;
            state.height = r.bottom - r.top;
            for (const auto& name : PersistedNames()) {
                vantrel::Variant value;
                std::wstring wname = vantrel::WideFromAnsi(name);
                if (FAILED(bag->Read(wname.c_str(), value.get(), log))) continue;  // not stored
                StateValue v;
                v.name = name;
                v.kind = KindOfProperty(name);
                VariantToStateValue(*value.get(), v);
                state.values.push_back(std::move(v));
            }
            ApplyState(service_, state);
            dirty_ = false;
        });
    }
    STDMETHODIMP Save(IPropertyBag* bag, BOOL clear_dirty, BOOL) override {
        if (!bag) return E_POINTER;
        return Guard([&] {
            for (const auto& v : CaptureState(service_).values) {
                if (!IsPropertyStored(v.name, ServiceClass())) continue;
                vantrel::Variant value;
                HRESULT hr = StateValueToVariant(v, value.get());
                std::wstring wname = vantrel::WideFromAnsi(v.name);
                if (SUCCEEDED(hr)) hr = bag->Write(wname.c_str(), value.get());
                if (FAILED(hr)) throw Error("Cannot write property " + v.name);
            }
            if (clear_dirty) dirty_ = false;
        });
    }

    // IProvideClassInfo
    STDMETHODIMP GetClassInfo(ITypeInfo** ti) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!ti) return E_POINTER;
            *ti = nullptr;
            ITypeInfo* info = vantrel::com::ModuleTypeInfo(CLSID_VuRURazerir);
            if (!info) return TYPE_E_ELEMENTNOTFOUND;
            info->AddRef();
            *ti = info;
            return S_OK;
        });
    }

    // ISpecifyPropertyPages: exactly the four pages, in this order.
    STDMETHODIMP GetPages(CAUUID* pages) override {
        if (!pages) return E_POINTER;
        static const CLSID* kPages[] = {&kLogonAsPage, &kManagerAccessPage, &kServiceAccessPage,
                                        &kDependenciesPage};
        pages->cElems = 4;
        pages->pElems = static_cast<GUID*>(::CoTaskMemAlloc(sizeof(GUID) * 4));
        if (!pages->pElems) {
            pages->cElems = 0;
            return E_OUTOFMEMORY;
        }
        for (int i = 0; i < 4; ++i) pages->pElems[i] = *kPages[i];
        return S_OK;
    }

    // IPerPropertyBrowsing
    STDMETHODIMP GetDisplayString(DISPID id, BSTR* text) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!text) return E_POINTER;
            *text = nullptr;
            std::string s;
            if (id == kManagerAccessId) s = ManagerAccessDisplay(service_.GetManagerAccess());
            else if (id == kServiceAccessId) s = ServiceAccessDisplay(service_.GetServiceAccess());
            else return E_NOTIMPL;  // the container shows the value itself
            std::wstring w = vantrel::WideFromAnsi(s);
            *text = ::SysAllocStringLen(w.data(), UINT(w.size()));
            return *text ? S_OK : E_OUTOFMEMORY;
        });
    }
    STDMETHODIMP MapPropertyToPage(DISPID, CLSID* clsid) override {
        if (clsid) *clsid = CLSID_NULL;
        return PERPROP_E_NOPAGEAVAILABLE;
    }
    STDMETHODIMP GetPredefinedStrings(DISPID id, CALPOLESTR* strings, CADWORD* cookies) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!strings || !cookies) return E_POINTER;
            strings->cElems = 0;
            strings->pElems = nullptr;
            cookies->cElems = 0;
            cookies->pElems = nullptr;
            std::unique_ptr<StringList>* kept = KeptList(id);
            if (!kept) return E_NOTIMPL;
            HRESULT hr = Guard([&] {
                std::unique_ptr<StringList> list;
                if (id == kMachineNameId) list = std::make_unique<StringList>(service_.GetServers(""));
                else if (id == kServiceNameId) list = service_.GetPropertyServiceNames();
                else list = service_.GetOrderGroupList();
                *kept = std::move(list);
            });
            if (FAILED(hr)) return hr;
            const StringList& list = **kept;
            ULONG n = ULONG(list.Count());
            if (n == 0) return S_OK;
            strings->pElems = static_cast<LPOLESTR*>(::CoTaskMemAlloc(sizeof(LPOLESTR) * n));
            cookies->pElems = static_cast<DWORD*>(::CoTaskMemAlloc(sizeof(DWORD) * n));
            if (!strings->pElems || !cookies->pElems) {
                ::CoTaskMemFree(strings->pElems);
                ::CoTaskMemFree(cookies->pElems);
                strings->pElems = nullptr;
                cookies->pElems = nullptr;
                return E_OUTOFMEMORY;
            }
            for (ULONG i = 0; i < n; ++i) {
                strings->pElems[i] = TaskText(list[int(i)]);
                cookies->pElems[i] = i;
            }
            strings->cElems = cookies->cElems = n;
            return S_OK;
        });
    }
    STDMETHODIMP GetPredefinedValue(DISPID id, DWORD cookie, VARIANT* value) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!value) return E_POINTER;
            ::VariantInit(value);
            std::unique_ptr<StringList>* kept = KeptList(id);
            if (!kept) return E_NOTIMPL;
            return Guard([&] {
                if (!*kept && id == kMachineNameId) throw Error("No property strings were asked for");
                // The service and group lists are empty until asked for: no cookie is in them.
                static const StringList kNone;
                const std::string& text = (*kept ? **kept : kNone)[int(cookie)];
                std::wstring w = vantrel::WideFromAnsi(text);
                value->bstrVal = ::SysAllocStringLen(w.data(), UINT(w.size()));
                if (!value->bstrVal) throw std::bad_alloc();
                value->vt = VT_BSTR;
            });
        });
    }

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** e) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            return vantrel::com::EnumeratePoints({&events_}, e);
        });
    }
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** cp) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!cp) return E_POINTER;
            *cp = nullptr;
            if (riid != DIID_INTServiceXEvents) return CONNECT_E_NOCONNECTION;
            *cp = &events_;
            events_.AddRef();
            return S_OK;
        });
    }

protected:
    // Scripts set object properties with Set: Dependencies and LogonAs take it as put.
    WORD DispatchFlags(DISPID id, WORD flags) override {
        if ((flags & DISPATCH_PROPERTYPUTREF) && (id == kDependenciesId || id == kLogonAsId))
            flags = WORD((flags & ~DISPATCH_PROPERTYPUTREF) | DISPATCH_PROPERTYPUT);
        return flags;
    }

private:
    // AutomationHost: design mode when the container's ambient user mode is false.
    bool AmbientDesignMode() override {
        if (!site_) return false;
        ComPtr<IDispatch> ambient;
        if (FAILED(site_.As(&ambient))) return false;
        DISPPARAMS none{};
        vantrel::Variant result;
        if (FAILED(ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                                   result.get(), nullptr, nullptr)))
            return false;
        vantrel::Variant flag;
        if (FAILED(::VariantChangeType(flag.get(), result.get(), 0, VT_BOOL))) return false;
        return flag->boolVal == VARIANT_FALSE;
    }

    HRESULT Activate(IOleClientSite* site, HWND parent, LPCRECT pos) {
        if (service_.WindowHandle()) return S_OK;
        ComPtr<IOleInPlaceSite> inplace;
        if (site) site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(inplace.GetAddressOf()));
        if (inplace) {
            if (inplace->CanInPlaceActivate() != S_OK) return E_FAIL;
            inplace->OnInPlaceActivate();
            if (!parent) inplace->GetWindow(&parent);
        }
        if (!parent) return E_INVALIDARG;
        HRESULT hr = Guard([&] { service_.CreateWindowHandle(parent); });
        if (FAILED(hr)) return hr;
        if (pos) service_.SetBounds(pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top);
        ::ShowWindow(service_.WindowHandle(), SW_SHOWNA);
        return S_OK;
    }

    std::unique_ptr<StringList>* KeptList(DISPID id) {
        if (id == kMachineNameId) return &machine_names_;
        if (id == kServiceNameId) return &service_names_;
        if (id == kLoadOrderId) return &order_groups_;
        return nullptr;
    }

    HRESULT Changed(HRESULT hr) {
        if (SUCCEEDED(hr)) dirty_ = true;
        return hr;
    }

    template <class F>
    HRESULT TextResult(BSTR* v, F read) {
        if (!v) return E_POINTER;
        *v = nullptr;
        return Guard([&] { *v = NewBstr(read()); });
    }
    template <class F>
    HRESULT ListResult(IStringList** v, F read) {
        return OwnedListResult(v, [&] { return std::make_unique<StringList>(read()); });
    }
    template <class F>
    HRESULT OwnedListResult(IStringList** v, F read) {
        if (!v) return E_POINTER;
        *v = nullptr;
        HRESULT made = S_OK;
        HRESULT hr = Guard([&] { made = NewStringListObject(read(), v); });
        return FAILED(hr) ? hr : made;
    }

    EventPoint events_{this};
    TNTService service_;
    ComPtr<IOleClientSite> site_;
    ComPtr<IOleAdviseHolder> advise_;
    std::unique_ptr<StringList> machine_names_, service_names_, order_groups_;
    bool dirty_ = false;
};

}  // namespace

std::string ManagerAccessDisplay(ManagerAccess a) {
    std::vector<const char*> names;
    if (a.Has(M_CONNECT)) names.push_back("M_CONNECT");
    if (a.Has(M_ENUMERATE_SERVICE)) names.push_back("M_ENUMERATE_SERVICE");
    if (a.Has(M_CREATE_SERVICE)) names.push_back("M_CREATE_SERVICE");
    if (a.Has(M_LOCK)) names.push_back("M_LOCK");
    if (a.Has(M_QUERY_LOCK_STATUS)) names.push_back("M_QUERY_LOCK_STATUS");
    if (a.Has(M_MODIFY_BOOT_CONFIG)) names.push_back("M_MODIFY_BOOT_CONFIG");
    return JoinNames(names) + " - " + std::to_string(ManagerAccessToWin32(a));
}

std::string ServiceAccessDisplay(ServiceAccess a) {
    std::string names;
    if (a.Has(S_ALL_ACCESS)) {
        names = "S_ALL_ACCESS";
    } else {
        std::vector<const char*> list;
        static const std::pair<ServiceAccessElement, const char*> kOrder[] = {
            {S_CHANGE_CONFIG, "S_CHANGE_CONFIG"}, {S_ENUMERATE_DEPENDENTS, "S_ENUMERATE_DEPENDENTS"},
            {S_PAUSE_CONTINUE, "S_PAUSE_CONTINUE"}, {S_QUERY_CONFIG, "S_QUERY_CONFIG"},
            {S_QUERY_STATUS, "S_QUERY_STATUS"}, {S_START, "S_START"}, {S_STOP, "S_STOP"},
            {S_USER_DEFINED_CONTROL, "S_USER_DEFINED_CONTROL"}, {S_DELETE, "S_DELETE"},
            {S_INTERROGATE, "S_INTERROGATE"}};
        for (const auto& e : kOrder)
            if (a.Has(e.first)) list.push_back(e.second);
        names = JoinNames(list);
    }
    return names + " - " + std::to_string(ServiceAccessToWin32(a));
}

HRESULT CreateServiceControl(REFIID riid, void** ppv) {
    return vantrel::com::CreateObject<ServiceControl>(riid, ppv);
}

}  // namespace dovrin::automation
