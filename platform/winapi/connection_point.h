// The part of a connection point that every outgoing interface of ours shares: a point
// that lives inside its container object (its references are the container's), names its
// one interface and enumerates its connections. Advise and Unadvise, whose rules differ
// between classes, are left to the derived point, which also lists what is connected.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/winapi/com_barrier.h"
#include "platform/winapi/com_server.h"

namespace vantrel::com {

// One advised sink as a connection point lists it.
struct Advised {
    DWORD cookie;
    Microsoft::WRL::ComPtr<IUnknown> sink;
};

// An enumerator over a snapshot taken when it was made (clones share the snapshot and
// start at the position of the original). Items handed out carry a reference for the
// caller, as enumerators must.
template <class EnumItf, class Out, class Held>
class SnapshotEnum final : public Object<EnumItf> {
public:
    using Items = std::shared_ptr<const std::vector<Held>>;
    SnapshotEnum(Items items, size_t position) : items_(std::move(items)), position_(position) {}

    STDMETHODIMP Next(ULONG count, Out* out, ULONG* fetched) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (fetched) *fetched = 0;
            if (!out || (count != 1 && !fetched)) return E_POINTER;
            ULONG n = 0;
            for (; n < count && position_ < items_->size(); ++n) out[n] = Give((*items_)[position_++]);
            if (fetched) *fetched = n;
            return n == count ? S_OK : S_FALSE;
        });
    }
    STDMETHODIMP Skip(ULONG count) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            const size_t left = items_->size() - position_;
            if (count > left) {
                position_ = items_->size();
                return S_FALSE;
            }
            position_ += count;
            return S_OK;
        });
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(EnumItf** out) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!out) return E_POINTER;
            *out = new (std::nothrow) SnapshotEnum(items_, position_);
            return *out ? S_OK : E_OUTOFMEMORY;
        });
    }

private:
    ~SnapshotEnum() override = default;
    static IConnectionPoint* Give(const Microsoft::WRL::ComPtr<IConnectionPoint>& p) {
        p->AddRef();
        return p.Get();
    }
    static CONNECTDATA Give(const Advised& a) {
        a.sink->AddRef();
        return CONNECTDATA{a.sink.Get(), a.cookie};
    }

    ObjectCount count_;
    Items items_;
    size_t position_;
};

// The connections of a point that keeps its sinks as (cookie, sink) pairs.
template <class Sinks>
std::vector<Advised> ListAdvised(const Sinks& sinks) {
    std::vector<Advised> list;
    for (const auto& [cookie, sink] : sinks) list.push_back({cookie, sink});
    return list;
}

using ConnectionPointEnum = SnapshotEnum<IEnumConnectionPoints, IConnectionPoint*, Microsoft::WRL::ComPtr<IConnectionPoint>>;
using ConnectionEnum = SnapshotEnum<IEnumConnections, CONNECTDATA, Advised>;

// IConnectionPointContainer::EnumConnectionPoints over the container's points.
inline HRESULT EnumeratePoints(std::initializer_list<IConnectionPoint*> points, IEnumConnectionPoints** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return Barrier([&] {
        auto items = std::make_shared<std::vector<Microsoft::WRL::ComPtr<IConnectionPoint>>>(points.begin(), points.end());
        *out = new ConnectionPointEnum(std::move(items), 0);
        return S_OK;
    });
}

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
        if (!e) return E_POINTER;
        *e = nullptr;
        return Barrier([&] {
            *e = new ConnectionEnum(std::make_shared<std::vector<Advised>>(Connections()), 0);
            return S_OK;
        });
    }

protected:
    const IID& events() const { return events_; }
    // The sinks connected now, in the order they were advised.
    virtual std::vector<Advised> Connections() const = 0;

private:
    IConnectionPointContainer* owner_;
    IID events_;
};

}  // namespace vantrel::com
