// The part of a connection point that every outgoing interface of ours shares: a point
// that lives inside its container object (its references are the container's), names its
// one interface and cannot enumerate its connections. Advise and Unadvise, whose rules
// differ between classes, are left to the derived point.
#pragma once

#include <windows.h>

#include <ocidl.h>

namespace vantrel::com {

class ConnectionPointBase : public IConnectionPoint {
public:
    ConnectionPointBase(IConnectionPointContainer* owner, REFIID events) : owner_(owner), events_(events) {}
    virtual ~ConnectionPointBase() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
            *ppv = static_cast<IConnectionPoint*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }
    STDMETHODIMP GetConnectionInterface(IID* iid) override {
        if (!iid) return E_POINTER;
        *iid = events_;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** c) override {
        if (!c) return E_POINTER;
        *c = owner_;
        owner_->AddRef();
        return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections** e) override {
        if (e) *e = nullptr;
        return E_NOTIMPL;
    }

protected:
    const IID& events() const { return events_; }

private:
    IConnectionPointContainer* owner_;
    IID events_;
};

}  // namespace vantrel::com
