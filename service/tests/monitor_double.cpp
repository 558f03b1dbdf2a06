// MonitorDouble.dll: a log monitor that has only what any monitor offers the service: the
// class id, the interface whose one method after the dispatch methods is StartMonitoring,
// the NewLogEntry event and release. It looks at its log twice a second and raises every
// entry written after the start. Registered under the monitor's class id in place of ours
// for a scenario (regsvr32), and ours registered back afterwards.
// With "StopFails" = "1" under HKLM\Software\Vantrel Tests\Monitor double it also answers
// our drain interface, whose StopMonitoring then fails.
#include <windows.h>

#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <string>

#include "event_point.h"
#include "lorvex.h"
#include "platform/winapi/com_module.h"
#include "platform/winapi/com_server.h"
#include "platform/winapi/message_window.h"
#include "platform/winapi/oleauto.h"

// The fixed interface and our drain, as a client sees them. Their ids are written out on
// purpose, not taken from the IDL: the fixed contract callers compiled against.
struct IFixedMonitor : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE StartMonitoring(BSTR log_name) = 0;
};
__CRT_UUID_DECL(IFixedMonitor, 0x463152C8, 0xA7E0, 0x40FC, 0x95, 0x07, 0xAC, 0x75, 0x32, 0x76, 0xBF, 0x47)
struct IDrain : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE StopMonitoring() = 0;
    virtual HRESULT STDMETHODCALLTYPE Waiting(long* count, long* first, long* last) = 0;
};

namespace {

using Microsoft::WRL::ComPtr;

const CLSID kClass = {0x462F967A, 0xBAF6, 0x4F9C, {0xB3, 0x47, 0xE4, 0x98, 0x0B, 0x5F, 0xE3, 0xC6}};
const IID kEvents = {0x522FCCCE, 0x2058, 0x4A9C, {0xBE, 0x25, 0xEB, 0x81, 0x53, 0x56, 0xDC, 0xDE}};
const IID kDrain = {0x614416C2, 0x8F8B, 0x4E3D, {0xB3, 0x63, 0xEA, 0x8D, 0x0B, 0x83, 0xB7, 0x08}};
constexpr char kClassKey[] = "CLSID\\{462F967A-BAF6-4F9C-B347-E4980B5FE3C6}";
constexpr wchar_t kWindowClass[] = L"VantrelMonitorDouble";
constexpr UINT_PTR kLookTimer = 1;

bool StopFails() {
    char value[8] = {};
    DWORD size = sizeof value;
    return ::RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Vantrel Tests\\Monitor double", "StopFails", RRF_RT_REG_SZ,
                          nullptr, value, &size) == ERROR_SUCCESS &&
           std::string(value) == "1";
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// No type library: the service calls StartMonitoring through the interface itself.
class Double final : public vantrel::com::Dual<IFixedMonitor>, public IConnectionPointContainer, public IDrain {
public:
    Double() : point_(this, kEvents), stop_fails_(StopFails()) {}
    ~Double() override {
        if (window_) ::DestroyWindow(window_);
    }

    STDMETHODIMP_(ULONG) AddRef() override { return Dual::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return Dual::Release(); }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return Dual::QueryInterface(riid, ppv); }

    STDMETHODIMP StartMonitoring(BSTR log_name) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            HRESULT hr = ::CoCreateInstance(CLSID_EventLog, nullptr, CLSCTX_INPROC_SERVER, IID_IEventLog,
                                            reinterpret_cast<void**>(log_.GetAddressOf()));
            if (FAILED(hr)) return hr;
            if (FAILED(hr = log_->put_SourceName(log_name))) return hr;
            if (FAILED(hr = Newest(next_))) return hr;
            ++next_;
            if (!vantrel::com::RegisterMessageWindowClass(kWindowClass, WindowProc) ||
                !(window_ = vantrel::com::CreateMessageWindow(kWindowClass)))
                return HRESULT_FROM_WIN32(::GetLastError());
            ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            ::SetTimer(window_, kLookTimer, 500, nullptr);
            return S_OK;
        });
    }

    STDMETHODIMP StopMonitoring() override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            vantrel::com::SetErrorInfo(L"MonitorDouble", L"The monitor double cannot stop");
            return E_FAIL;
        });
    }
    STDMETHODIMP Waiting(long*, long*, long*) override { return E_NOTIMPL; }

    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** e) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return vantrel::com::EnumeratePoints({&point_}, e); });
    }
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** cp) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return vantrel::com::FindPoint(point_, kEvents, riid, cp); });
    }

    // Raises every entry written since the last look, oldest first. A handler that lets
    // events through may bring the next look in; it raises nothing until this one is done.
    void Look() {
        if (looking_ || !log_) return;
        looking_ = true;
        ComPtr<Double> self(this);  // a handler may drop the client's reference
        long newest = 0;
        while (log_ && SUCCEEDED(Newest(newest)) && next_ <= newest) {
            ComPtr<IEventLogRecord> record;
            if (SUCCEEDED(log_->ReadRecord(next_++, record.GetAddressOf())) && record) {
                VARIANT arg;
                arg.vt = VT_DISPATCH;
                arg.pdispVal = record.Get();
                point_.Fire(1, {arg});
            }
        }
        looking_ = false;
    }

protected:
    void* QueryOther(REFIID riid) override {
        if (riid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
        if (riid == kDrain && stop_fails_) return static_cast<IDrain*>(this);
        return nullptr;
    }

private:
    HRESULT Newest(long& out) {
        long oldest = 0, count = 0;
        HRESULT hr = log_->get_OldestRecordNumber(&oldest);
        if (SUCCEEDED(hr)) hr = log_->get_RecordCount(&count);
        out = count ? oldest + count - 1 : oldest;
        return hr;
    }

    vantrel::com::EventPoint point_;
    const bool stop_fails_;
    ComPtr<IEventLog> log_;
    long next_ = 0;
    bool looking_ = false;
    HWND window_ = nullptr;
};

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* monitor = reinterpret_cast<Double*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (monitor && msg == WM_TIMER && wp == kLookTimer) {
        vantrel::com::Barrier([&] { monitor->Look(); });
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

HRESULT CreateDouble(REFIID riid, void** ppv) { return vantrel::com::CreateObject<Double>(riid, ppv); }

}  // namespace

namespace vantrel::com {
const ClassEntry kModuleClasses[] = {{&kClass, CreateDouble}};
const size_t kModuleClassCount = 1;
}  // namespace vantrel::com

STDAPI DllRegisterServer() {
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(vantrel::com::ModuleHandle(), path, MAX_PATH);
    if (!n || n >= MAX_PATH) return SELFREG_E_CLASS;
    HKEY key = nullptr;
    const std::string server = std::string(kClassKey) + "\\InprocServer32";
    if (::RegCreateKeyExA(HKEY_CLASSES_ROOT, server.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr))
        return SELFREG_E_CLASS;
    const char model[] = "Apartment";
    LONG r = ::RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), n + 1);
    if (!r) r = ::RegSetValueExA(key, "ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(model), sizeof model);
    ::RegCloseKey(key);
    return r ? SELFREG_E_CLASS : S_OK;
}

STDAPI DllUnregisterServer() { return S_OK; }
