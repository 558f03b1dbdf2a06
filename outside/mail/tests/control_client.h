// A client of the mail control as the programs use it: creation by ProgID, members by
// DISPID through IDispatch, events through the connection point on this thread.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "platform/winapi/oleauto.h"

namespace mailtest {

using Microsoft::WRL::ComPtr;

// Written out on purpose, not taken from the IDL: the fixed contract callers compiled against.
constexpr DISPID kBody = 0x68030000, kSubject = 0x68030001, kPassword = 0x68030002, kUserName = 0x68030003,
                 kSMTPServer = 0x68030004, kFromEmail = 0x68030005, kToEmail = 0x68030006,
                 kSendMessage = 0x60030008;
constexpr DISPID kErrorEvent = 9, kSendCompleteEvent = 10;

const IID kEventsIid = {0xB82DBCB3, 0x20F0, 0x4A31, {0xA1, 0x52, 0x26, 0x50, 0x23, 0x8B, 0x6C, 0x3F}};

struct Outcome {
    DISPID event;
    std::wstring text;
};

// Records every event; a plain IDispatch sink, as a script host would give.
class Sink : public IDispatch {
public:
    std::vector<Outcome> outcomes;
    bool inside_send = false;
    bool raised_inside_send = false;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kEventsIid) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override { return --refs_; }  // lives on the test's stack
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
        if (inside_send) raised_inside_send = true;
        Outcome o{id, {}};
        if (p && p->cArgs == 1 && p->rgvarg[0].vt == VT_BSTR && p->rgvarg[0].bstrVal)
            o.text.assign(p->rgvarg[0].bstrVal, ::SysStringLen(p->rgvarg[0].bstrVal));
        outcomes.push_back(o);
        return S_OK;
    }

private:
    ULONG refs_ = 1;
};

class Control {
public:
    HRESULT Create() {
        CLSID clsid;
        HRESULT hr = ::CLSIDFromProgID(L"VelmSendMail.VelmSendmail", &clsid);
        if (FAILED(hr)) return hr;
        hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(dispatch.GetAddressOf()));
        if (FAILED(hr)) return hr;
        ComPtr<IConnectionPointContainer> container;
        hr = dispatch.As(&container);
        if (FAILED(hr)) return hr;
        hr = container->FindConnectionPoint(kEventsIid, point.GetAddressOf());
        if (FAILED(hr)) return hr;
        return point->Advise(&sink, &cookie);
    }
    ~Control() {
        if (point) point->Unadvise(cookie);
    }

    HRESULT Put(DISPID id, const std::wstring& value) {
        vantrel::Variant v;
        v->vt = VT_BSTR;
        v->bstrVal = ::SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{v.get(), &named, 1, 1};
        return dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
    }

    // SendMessage, then waits (letting window messages through) for one more outcome.
    bool SendAndWait(DWORD timeout_ms = 90000) { return Send() == S_OK && WaitFor(sink.outcomes.size() + 1, timeout_ms); }

    HRESULT Send() {
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        sink.inside_send = true;
        HRESULT hr = dispatch->Invoke(kSendMessage, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
        sink.inside_send = false;
        return hr;
    }

    bool WaitFor(size_t count, DWORD timeout_ms = 90000) {
        DWORD start = ::GetTickCount();
        while (sink.outcomes.size() < count && ::GetTickCount() - start < timeout_ms) {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        }
        return sink.outcomes.size() >= count;
    }

    ComPtr<IDispatch> dispatch;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    Sink sink;
};

}  // namespace mailtest
