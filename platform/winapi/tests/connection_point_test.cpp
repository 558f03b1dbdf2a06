// The shared connection-point plumbing as a C++ client sees it: a container's points and
// a point's connections enumerated with Next, Skip, Reset and Clone.
#include <gtest/gtest.h>
#include <windows.h>

#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <map>

#include "platform/winapi/adopt.h"
#include "platform/winapi/connection_point.h"

using Microsoft::WRL::ComPtr;

namespace {

// {0B9A7C61-3D55-4E0F-9C1E-5A0E64F2B001}, {...B002}: two outgoing interfaces of the test.
const IID kFirstEvents = {0x0B9A7C61, 0x3D55, 0x4E0F, {0x9C, 0x1E, 0x5A, 0x0E, 0x64, 0xF2, 0xB0, 0x01}};
const IID kSecondEvents = {0x0B9A7C61, 0x3D55, 0x4E0F, {0x9C, 0x1E, 0x5A, 0x0E, 0x64, 0xF2, 0xB0, 0x02}};

class Point final : public vantrel::com::ConnectionPointBase {
public:
    Point(IConnectionPointContainer* owner, REFIID events) : ConnectionPointBase(owner, events) {}
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
        *cookie = ++last_;
        sinks_[*cookie] = sink;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override { return sinks_.erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION; }

protected:
    std::vector<vantrel::com::Advised> Connections() const override { return vantrel::com::ListAdvised(sinks_); }

private:
    std::map<DWORD, ComPtr<IUnknown>> sinks_;
    DWORD last_ = 0;
};

// A container with two points; it counts its references so that the test sees what the
// enumerators hold.
class Container final : public IConnectionPointContainer {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown && riid != IID_IConnectionPointContainer) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IConnectionPointContainer*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** e) override {
        return vantrel::com::EnumeratePoints({&first, &second}, e);
    }
    STDMETHODIMP FindConnectionPoint(REFIID, IConnectionPoint**) override { return E_NOTIMPL; }

    ULONG refs = 1;
    Point first{this, kFirstEvents};
    Point second{this, kSecondEvents};
};

// A sink that only counts its references.
struct Sink final : IUnknown {
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = riid == IID_IUnknown ? this : nullptr;
        if (*ppv) AddRef();
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    ULONG refs = 1;
};

IID EventsOf(IConnectionPoint* p) {
    IID iid{};
    p->GetConnectionInterface(&iid);
    return iid;
}

TEST(ConnectionPoints, TheContainerEnumeratesEachPointOnce) {
    Container c;
    ComPtr<IEnumConnectionPoints> e;
    ASSERT_EQ(c.EnumConnectionPoints(&e), S_OK);
    EXPECT_EQ(c.EnumConnectionPoints(nullptr), E_POINTER);

    IConnectionPoint* got[3] = {};
    ULONG fetched = 99;
    EXPECT_EQ(e->Next(3, got, &fetched), S_FALSE);  // fewer than asked
    ASSERT_EQ(fetched, 2u);
    EXPECT_TRUE(EventsOf(got[0]) == kFirstEvents);
    EXPECT_TRUE(EventsOf(got[1]) == kSecondEvents);
    EXPECT_EQ(got[2], nullptr);
    EXPECT_EQ(c.refs, 5u);  // two held by the enumerator, two by the caller
    got[0]->Release();
    got[1]->Release();
    EXPECT_EQ(e->Next(1, got, nullptr), S_FALSE);  // at the end; one without a count is allowed
    EXPECT_EQ(e->Next(2, got, nullptr), E_POINTER);

    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(1), S_OK);
    ComPtr<IEnumConnectionPoints> clone;
    ASSERT_EQ(e->Clone(&clone), S_OK);
    EXPECT_EQ(e->Skip(5), S_FALSE);  // past the end stops at the end
    ComPtr<IConnectionPoint> one;
    EXPECT_EQ(e->Next(1, &one, nullptr), S_FALSE);
    ASSERT_EQ(clone->Next(1, &one, nullptr), S_OK);  // the clone kept its own position
    EXPECT_TRUE(EventsOf(one.Get()) == kSecondEvents);
    one.Reset();
    e.Reset();
    clone.Reset();
    EXPECT_EQ(c.refs, 1u);
}

TEST(ConnectionPoints, APointEnumeratesItsConnectionsAsTheyWere) {
    Container c;
    Sink a, b;
    DWORD ca = 0, cb = 0;
    c.first.Advise(&a, &ca);
    c.first.Advise(&b, &cb);
    ComPtr<IEnumConnections> e;
    ASSERT_EQ(c.first.EnumConnections(&e), S_OK);
    EXPECT_EQ(c.first.EnumConnections(nullptr), E_POINTER);
    c.first.Unadvise(ca);  // the enumeration is a snapshot

    CONNECTDATA got[2] = {};
    ULONG fetched = 0;
    ASSERT_EQ(e->Next(2, got, &fetched), S_OK);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(got[0].pUnk, &a);
    EXPECT_EQ(got[0].dwCookie, ca);
    EXPECT_EQ(got[1].pUnk, &b);
    EXPECT_EQ(got[1].dwCookie, cb);
    EXPECT_EQ(a.refs, 3u);  // the snapshot's and the caller's
    got[0].pUnk->Release();
    got[1].pUnk->Release();
    e.Reset();
    EXPECT_EQ(a.refs, 1u);
    EXPECT_EQ(b.refs, 2u);  // still advised

    ComPtr<IEnumConnections> none;
    ASSERT_EQ(c.second.EnumConnections(&none), S_OK);
    EXPECT_EQ(none->Next(1, got, nullptr), S_FALSE);
    EXPECT_EQ(none->Skip(1), S_FALSE);
    c.first.Unadvise(cb);
}

}  // namespace
