// IUnknown for our COM objects, written once. A class lists the interfaces it answers,
// Object<IFirst, ISecond, ...>, and QueryInterface answers exactly those: IUnknown always
// through the first, so that every interface of the object gives the same identity.
// Chain<IDerived, IBase...> also answers the base interfaces of IDerived through it (IDispatch
// of a dual interface, IPersist, IOleWindow): that path keeps them unambiguous when two
// listed interfaces share a base. Interfaces known only at run time (a sink's event
// interface) come from QueryOther. The count is atomic: an object may be shared between
// apartments, and the last Release, from whatever thread, deletes it.
#pragma once

#include <windows.h>

#include <unknwn.h>

#include <atomic>

namespace vantrel::com {

template <class Itf, class... Bases>
struct Chain : Itf {};

// The id of an interface: __uuidof where its header declares one; a header that does not
// (MinGW's directory interfaces) gets a specialization naming the library's IID constant.
template <class Itf>
struct InterfaceId {
    static const IID& Get() { return __uuidof(Itf); }
};

namespace detail {

template <class Entry>
struct Listed {
    using Interface = Entry;
    static bool Answers(REFIID riid) { return riid == InterfaceId<Entry>::Get(); }
};

template <class Itf, class... Bases>
struct Listed<Chain<Itf, Bases...>> {
    using Interface = Itf;
    static bool Answers(REFIID riid) {
        return riid == InterfaceId<Itf>::Get() || ((riid == InterfaceId<Bases>::Get()) || ...);
    }
};

}  // namespace detail

template <class First, class... Rest>
class Object : public First, public Rest... {
public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        void* found = riid == IID_IUnknown ? Identity() : Find<First>(riid);
        ((found = found ? found : Find<Rest>(riid)), ...);
        if (!found) found = QueryOther(riid);
        *ppv = found;
        if (!found) return E_NOINTERFACE;
        static_cast<IUnknown*>(found)->AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

protected:
    virtual ~Object() = default;
    // Interfaces whose ids are known only at run time; the pointer must be one of this
    // object's own listed interfaces.
    virtual void* QueryOther(REFIID) { return nullptr; }

private:
    IUnknown* Identity() { return static_cast<typename detail::Listed<First>::Interface*>(this); }
    template <class Entry>
    void* Find(REFIID riid) {
        using Interface = typename detail::Listed<Entry>::Interface;
        return detail::Listed<Entry>::Answers(riid) ? static_cast<Interface*>(this) : nullptr;
    }

    std::atomic<ULONG> refs_{1};
};

}  // namespace vantrel::com
