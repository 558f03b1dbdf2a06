// The shared IUnknown as a client sees it: which interfaces an object answers, that they
// all give one identity, and that the count holds under threads and frees the object on
// its last Release, never before.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/winapi/com_object.h"

// Two interfaces with a common base, as IOleInPlaceObject and IOleInPlaceActiveObject share
// IOleWindow: the base is reachable two ways and must be answered through the chained one.
MIDL_INTERFACE("5D1C7E10-8A2B-4C3D-9E4F-0A1B2C3D4E01") IProbeBase : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Base() = 0;
};
MIDL_INTERFACE("5D1C7E10-8A2B-4C3D-9E4F-0A1B2C3D4E02") IProbeLeft : public IProbeBase {
    virtual HRESULT STDMETHODCALLTYPE Left() = 0;
};
MIDL_INTERFACE("5D1C7E10-8A2B-4C3D-9E4F-0A1B2C3D4E03") IProbeRight : public IProbeBase {
    virtual HRESULT STDMETHODCALLTYPE Right() = 0;
};
__CRT_UUID_DECL(IProbeBase, 0x5D1C7E10, 0x8A2B, 0x4C3D, 0x9E, 0x4F, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x01)
__CRT_UUID_DECL(IProbeLeft, 0x5D1C7E10, 0x8A2B, 0x4C3D, 0x9E, 0x4F, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x02)
__CRT_UUID_DECL(IProbeRight, 0x5D1C7E10, 0x8A2B, 0x4C3D, 0x9E, 0x4F, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x03)

namespace {

// An interface id the object answers only at run time, as a sink answers its events.
const IID kRunTimeId = {0x5D1C7E10, 0x8A2B, 0x4C3D, {0x9E, 0x4F, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x04}};
// One the object has never heard of.
const IID kForeignId = {0x5D1C7E10, 0x8A2B, 0x4C3D, {0x9E, 0x4F, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x05}};

class Probe final : public vantrel::com::Object<vantrel::com::Chain<IProbeLeft, IProbeBase>, IProbeRight> {
public:
    explicit Probe(std::atomic<int>& destroyed) : destroyed_(destroyed) {}
    STDMETHODIMP Base() override { return S_OK; }
    STDMETHODIMP Left() override { return S_OK; }
    STDMETHODIMP Right() override { return S_OK; }

protected:
    void* QueryOther(REFIID riid) override { return riid == kRunTimeId ? static_cast<IProbeRight*>(this) : nullptr; }

private:
    ~Probe() override { ++destroyed_; }
    std::atomic<int>& destroyed_;
};

void* Ask(IUnknown* object, REFIID riid, HRESULT expected = S_OK) {
    void* out = reinterpret_cast<void*>(0x1);  // a refusal must clear it
    EXPECT_EQ(object->QueryInterface(riid, &out), expected);
    if (SUCCEEDED(expected)) static_cast<IUnknown*>(out)->Release();
    return out;
}

TEST(ComObject, AnswersItsListedInterfacesWithOneIdentity) {
    std::atomic<int> destroyed{0};
    auto* probe = new Probe(destroyed);
    IProbeLeft* left = probe;
    IProbeRight* right = probe;
    IUnknown* identity = left;

    EXPECT_EQ(Ask(right, __uuidof(IProbeLeft)), static_cast<void*>(left));
    EXPECT_EQ(Ask(left, __uuidof(IProbeRight)), static_cast<void*>(right));
    // The common base through the chained interface only.
    EXPECT_EQ(Ask(right, __uuidof(IProbeBase)), static_cast<void*>(static_cast<IProbeBase*>(left)));
    EXPECT_EQ(Ask(left, kRunTimeId), static_cast<void*>(right));
    // Whichever interface is asked, IUnknown is the same pointer.
    for (IUnknown* from : {static_cast<IUnknown*>(left), static_cast<IUnknown*>(right)})
        EXPECT_EQ(Ask(from, IID_IUnknown), static_cast<void*>(identity));

    // Everything else is refused, the out pointer cleared, no reference taken.
    for (const IID* riid : {&IID_IDispatch, &IID_IClassFactory, &kForeignId})
        EXPECT_EQ(Ask(right, *riid, E_NOINTERFACE), nullptr);
    EXPECT_EQ(left->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    EXPECT_EQ(left->AddRef(), 2u);  // the asks above left no reference behind
    EXPECT_EQ(right->Release(), 1u);
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(left->Release(), 0u);
    EXPECT_EQ(destroyed, 1);
}

TEST(ComObject, CountHoldsUnderThreadsAndTheLastReleaseFrees) {
    constexpr int kThreads = 8;
    constexpr ULONG kEach = 200000;
    std::atomic<int> destroyed{0};
    IProbeLeft* object = new Probe(destroyed);

    // All threads start together, so that their calls overlap.
    auto all = [&](auto step) {
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&] {
                ++ready;
                while (ready < kThreads) std::this_thread::yield();
                for (ULONG i = 0; i < kEach; ++i) step();
            });
        for (auto& t : threads) t.join();
    };
    all([&] { object->AddRef(); });
    EXPECT_EQ(object->AddRef(), 2 + kThreads * kEach);  // no increment lost
    all([&] { object->Release(); });
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(object->Release(), 1u);  // no decrement lost
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(destroyed, 1);
}

}  // namespace
