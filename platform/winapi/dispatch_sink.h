// The receiving side of a program's events: a sink that routes dispatch ids to handlers,
// and a connection that is unadvised when it ends.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <wrl/client.h>

#include <functional>
#include <map>
#include <string>
#include <utility>

#include "platform/winapi/com_object.h"

namespace vantrel::com {

// Receives the events of one outgoing interface; each dispatch id has its handler. Made
// with new (reference count 1); handlers never let an exception reach the event's source.
class DispatchSink final : public Object<IDispatch> {
public:
    using Handler = std::function<void(DISPPARAMS*)>;
    explicit DispatchSink(REFIID events) : events_(events) {}
    void On(DISPID id, Handler handler) { handlers_[id] = std::move(handler); }

    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

protected:
    // The events' own interface id, known only at run time.
    void* QueryOther(REFIID riid) override { return riid == events_ ? static_cast<IDispatch*>(this) : nullptr; }

private:
    ~DispatchSink() override = default;
    IID events_;
    std::map<DISPID, Handler> handlers_;
};

// One advised sink; unadvised when reset or destroyed.
class Connection {
public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    // The connection moves with its owner; the source keeps calling the same sink.
    Connection(Connection&& other) noexcept
        : point_(std::move(other.point_)), cookie_(std::exchange(other.cookie_, 0)) {}
    Connection& operator=(Connection&& other) noexcept {
        if (this != &other) {
            Reset();
            point_ = std::move(other.point_);
            cookie_ = std::exchange(other.cookie_, 0);
        }
        return *this;
    }
    ~Connection() { Reset(); }
    HRESULT Connect(IUnknown* source, REFIID events, IDispatch* sink);
    void Reset();

private:
    Microsoft::WRL::ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

// Argument i (in call order) of an event as text, by reference or not; empty when absent
// or not convertible.
std::wstring EventArgumentText(const DISPPARAMS* params, UINT i);

}  // namespace vantrel::com
