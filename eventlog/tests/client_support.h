// What the reader tests share: an apartment, Lorvex objects created by ProgID, error
// texts, and a test log of their own written through the event-log functions.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <oleauto.h>

#include <string>
#include <vector>

#include "lorvex.h"
#include "platform/evtlog/evtapi.h"
#include "platform/winapi/handles.h"
#include "platform/winapi/oleauto.h"

using Microsoft::WRL::ComPtr;

struct ComApartment {
    ComApartment() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { ::CoUninitialize(); }
};

template <class Itf>
ComPtr<Itf> Create(const wchar_t* progid) {
    CLSID clsid;
    ComPtr<Itf> p;
    if (SUCCEEDED(::CLSIDFromProgID(progid, &clsid)))
        ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(Itf), reinterpret_cast<void**>(p.GetAddressOf()));
    return p;
}

inline std::wstring ErrorText() {
    IErrorInfo* info = nullptr;
    if (::GetErrorInfo(0, &info) != S_OK || !info) return L"";
    vantrel::Bstr d;
    info->GetDescription(d.put());
    info->Release();
    return d.str();
}

inline bool StartsWith(const std::wstring& s, const std::wstring& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

inline vantrel::Bstr B(const wchar_t* s) { return vantrel::Bstr(s); }

// The event id of record n read through the reader, or -1 when the read fails.
template <class Reader>
long EventIdOf(Reader* reader, long n) {
    ComPtr<IEventLogRecord> r;
    if (FAILED(reader->ReadRecord(n, &r))) return -1;
    long id = 0;
    r->get_EventId(&id);
    return id;
}

// Lets the thread's window messages (and so its COM events) through for the time given.
inline void Pump(DWORD milliseconds) {
    const DWORD end = ::GetTickCount() + milliseconds;
    while (static_cast<LONG>(end - ::GetTickCount()) > 0) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::Sleep(10);
    }
}

// Pumps until done() holds or the time is up; under load an event may be late.
template <class Done>
bool PumpUntil(Done done, DWORD milliseconds = 8000) {
    const DWORD end = ::GetTickCount() + milliseconds;
    while (!done() && static_cast<LONG>(end - ::GetTickCount()) > 0) Pump(20);
    return done();
}

// A test's sink for one outgoing dispatch interface. It lives on the test's stack: its
// count shows what the source holds (1 when nothing), it is never deleted. Every call
// goes to OnEvent.
class EventSink : public IDispatch {
public:
    explicit EventSink(REFIID events) : events_(events) {}
    virtual ~EventSink() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == events_) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        OnEvent(id, flags, params);
        return S_OK;
    }

    ULONG refs = 1;

protected:
    virtual void OnEvent(DISPID id, WORD flags, DISPPARAMS* params) = 0;

private:
    IID events_;
};

// A log of the test's own, so that tests running side by side do not meet.
class TestLog {
public:
    // The log file keeps the largest size it ever had: a log meant to stay small needs a
    // name of its own.
    explicit TestLog(const std::string& name, DWORD max_size = 0x80000) : name_(name) {
        const std::string key = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\" + name;
        vantrel::RegKey k;
        ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, k.put(), nullptr);
        // A log key carries its configuration; a bare key would be taken for something else.
        DWORD retention = 0;  // overwrite as needed
        ::RegSetValueExA(k.get(), "MaxSize", 0, REG_DWORD, reinterpret_cast<BYTE*>(&max_size), sizeof max_size);
        ::RegSetValueExA(k.get(), "Retention", 0, REG_DWORD, reinterpret_cast<BYTE*>(&retention), sizeof retention);
        Clear();
    }
    const std::string& name() const { return name_; }
    std::wstring wide_name() const { return std::wstring(name_.begin(), name_.end()); }

    // Writes one event with the given strings; returns false when the log refused it.
    bool Write(DWORD id, std::vector<std::string> strings = {}, WORD type = EVENTLOG_ERROR_TYPE,
               std::vector<BYTE> data = {}) {
        const auto& api = vantrel::evtapi::Get();
        HANDLE source = api.RegisterEventSourceA(nullptr, name_.c_str());
        if (!source) return false;
        std::vector<const char*> p;
        for (auto& s : strings) p.push_back(s.c_str());
        BOOL ok = api.ReportEventA(source, type, 0, id, nullptr, static_cast<WORD>(p.size()),
                                   static_cast<DWORD>(data.size()), p.empty() ? nullptr : p.data(),
                                   data.empty() ? nullptr : data.data());
        api.DeregisterEventSource(source);
        return ok != FALSE;
    }
    bool Clear() {
        const auto& api = vantrel::evtapi::Get();
        HANDLE h = api.OpenEventLogA(nullptr, name_.c_str());
        if (!h) return false;
        BOOL ok = api.ClearEventLogA(h, nullptr);
        api.CloseEventLog(h);
        return ok != FALSE;
    }

private:
    std::string name_;
};
