// COM plumbing of the service program: failures as run-time errors, an event sink that
// routes dispatch ids to handlers, connections that end with their owner, text
// conversions and late-bound calls.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <wrl/client.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quenloc {

using Microsoft::WRL::ComPtr;

// A failed COM call: the status as error number and the object's error text.
[[noreturn]] void RaiseComFailure(HRESULT hr, const char* what);
inline void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) RaiseComFailure(hr, what);
}

// Runs a statement and turns the shared routines' errors (and the standard library's
// invalid arguments) into the trap's run-time errors, which the error tail understands.
void Translate(const std::function<void()>& statement);

std::string Ansi(const wchar_t* text, size_t length);
std::string Ansi(BSTR text);
std::wstring Wide(const std::string& text);

// Receives the events of one outgoing interface; each dispatch id has its handler.
class DispatchSink final : public IDispatch {
public:
    using Handler = std::function<void(DISPPARAMS*)>;
    explicit DispatchSink(REFIID events) : events_(events) {}
    void On(DISPID id, Handler handler) { handlers_[id] = std::move(handler); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG n = ::InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

private:
    ~DispatchSink() = default;
    volatile LONG refs_ = 1;
    IID events_;
    std::map<DISPID, Handler> handlers_;
};

// One advised sink; unadvised when reset or destroyed.
class Connection {
public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { Reset(); }
    HRESULT Connect(IUnknown* source, REFIID events, IDispatch* sink);
    void Reset();

private:
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

// Argument i (in call order) of an event as text; empty when absent.
std::string TextArgument(const DISPPARAMS* params, UINT i);

// Late-bound calls by dispatch id.
void PutText(IDispatch* object, DISPID id, const std::string& value);
void CallMethod(IDispatch* object, DISPID id, std::vector<VARIANT> args = {});

}  // namespace quenloc
