// A small base for the provider's objects. The platform's directory interfaces are dual,
// but their type library is not one we may ship and Wine's lacks the service and
// system-information interfaces, so each object answers IDispatch from its own table of
// members instead of through type information.
#pragma once

#include <windows.h>

#include <oaidl.h>
// after oaidl.h, whose types it uses
#include <iads.h>

#include <cstddef>
#include <string>

#include "platform/winapi/com_object.h"
#include "platform/winapi/com_server.h"

namespace vantrel::com {
// MinGW's directory header declares no __uuidof for its interfaces.
template <> struct InterfaceId<IADs> { static const IID& Get() { return IID_IADs; } };
template <> struct InterfaceId<IADsContainer> { static const IID& Get() { return IID_IADsContainer; } };
template <> struct InterfaceId<IADsOpenDSObject> { static const IID& Get() { return IID_IADsOpenDSObject; } };
template <> struct InterfaceId<IADsServiceOperations> { static const IID& Get() { return IID_IADsServiceOperations; } };
template <> struct InterfaceId<IADsWinNTSystemInfo> { static const IID& Get() { return IID_IADsWinNTSystemInfo; } };
}  // namespace vantrel::com

namespace vantrel::adsi {

struct DispMember {
    const wchar_t* name;
    DISPID id;
};

// The texts of our failures reach automation callers as error information.
HRESULT Fail(HRESULT hr, const std::wstring& what);
// The system's message for a Win32 code, with the code: "<message> (<code>)".
std::wstring SystemMessage(DWORD code);

// Argument `index` (0 = the first in the caller's order) as text; by-reference variants
// (a script's variables) are read through.
HRESULT ArgText(const DISPPARAMS* params, UINT index, std::wstring& out);
// Puts a text or a number into an optional Invoke result.
HRESULT ResultText(VARIANT* result, const std::wstring& text);
HRESULT ResultLong(VARIANT* result, long value);

// An object answering its interface Itf, IDispatch, and the bases of Itf it names.
template <class Itf, class... Bases>
class Automation : public com::Object<com::Chain<Itf, IDispatch, Bases...>> {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (!n) return E_POINTER;
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** ti) override {
        if (ti) *ti = nullptr;
        return DISP_E_BADINDEX;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!names || !ids) return E_POINTER;
            size_t n = 0;
            const DispMember* table = Members(n);
            HRESULT hr = S_OK;
            for (UINT i = 0; i < count; ++i) {
                ids[i] = DISPID_UNKNOWN;
                // Only the member name is looked up; argument names are not supported.
                if (i == 0) {
                    for (size_t m = 0; m < n; ++m) {
                        if (names[0] && ::lstrcmpiW(names[0], table[m].name) == 0) ids[0] = table[m].id;
                    }
                }
                if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
            }
            return hr;
        });
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
            DISPPARAMS none{};
            if (!params) params = &none;
            if (params->cNamedArgs > 0 && !(flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)))
                return DISP_E_NONAMEDARGS;
            return Call(id, flags, params, result);
        });
    }

protected:
    virtual const DispMember* Members(size_t& count) const = 0;
    virtual HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) = 0;

    static bool IsGet(WORD flags, const DISPPARAMS* params) {
        return (flags & DISPATCH_PROPERTYGET) || ((flags & DISPATCH_METHOD) && params->cArgs == 0);
    }

private:
    com::ObjectCount count_;
};

}  // namespace vantrel::adsi
