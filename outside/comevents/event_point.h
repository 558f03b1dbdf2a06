// One connection point for a class's outgoing dispatch interface, and the raising of its
// events on the owner's thread. Sinks are kept by cookie; an event goes to a snapshot of
// the sinks, so a sink may unadvise (or drop the owner) while it is being called.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include "platform/winapi/connection_point.h"

#include <functional>
#include <map>
#include <vector>

namespace vantrel::com {

class EventPoint : public ConnectionPointBase {
public:
    EventPoint(IConnectionPointContainer* owner, REFIID events) : ConnectionPointBase(owner, events) {}

    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!sink || !cookie) return E_POINTER;
            *cookie = 0;
            Microsoft::WRL::ComPtr<IDispatch> dispatch;
            if (FAILED(sink->QueryInterface(events(), reinterpret_cast<void**>(dispatch.GetAddressOf()))) &&
                FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()))))
                return CONNECT_E_CANNOTCONNECT;
            *cookie = ++last_cookie_;
            sinks_[*cookie] = dispatch;
            if (on_advise_) on_advise_();
            return S_OK;
        });
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            return sinks_.erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
        });
    }

    bool HasSinks() const { return !sinks_.empty(); }
    // Called after every successful Advise.
    void OnAdvise(std::function<void()> f) { on_advise_ = std::move(f); }

    // Raises event `id` with the arguments in call order (reversed into DISPPARAMS here).
    // A sink that unadvised while an earlier one ran is not called any more.
    void Fire(DISPID id, std::vector<VARIANT> args = {}) {
        std::vector<std::pair<DWORD, Microsoft::WRL::ComPtr<IDispatch>>> sinks(sinks_.begin(), sinks_.end());
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        for (auto& s : sinks) {
            if (!sinks_.count(s.first)) continue;
            s.second->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        }
    }

protected:
    std::vector<Advised> Connections() const override { return ListAdvised(sinks_); }

private:
    std::map<DWORD, Microsoft::WRL::ComPtr<IDispatch>> sinks_;
    DWORD last_cookie_ = 0;
    std::function<void()> on_advise_;
};

// IConnectionPointContainer::FindConnectionPoint for a class with one point.
inline HRESULT FindPoint(EventPoint& point, REFIID events, REFIID riid, IConnectionPoint** cp) {
    if (!cp) return E_POINTER;
    *cp = nullptr;
    if (riid != events) return CONNECT_E_NOCONNECTION;
    *cp = &point;
    point.AddRef();
    return S_OK;
}

}  // namespace vantrel::com
