#include "pages/late_bound.h"

#include "core/errors.h"

namespace dovrin::pages {

vantrel::Variant LateBound::Invoke(const wchar_t* name, WORD flags, std::vector<VARIANT>& args) {
    vantrel::Variant result;
    struct Clear {
        std::vector<VARIANT>& a;
        ~Clear() { for (auto& v : a) ::VariantClear(&v); }
    } clear{args};
    if (!object_) throw Error("No object to edit");
    LPOLESTR n = const_cast<LPOLESTR>(name);
    DISPID id = 0;
    HRESULT hr = object_->GetIDsOfNames(IID_NULL, &n, 1, 0, &id);
    if (FAILED(hr)) throw Error("Unknown member " + vantrel::AnsiFromWide(std::wstring(name)));
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, UINT(reversed.size()), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    EXCEPINFO ex{};
    hr = object_->Invoke(id, IID_NULL, 0, flags, &params, result.get(), &ex, nullptr);
    if (hr == DISP_E_EXCEPTION) {
        std::wstring text = ex.bstrDescription ? ex.bstrDescription : L"";
        ::SysFreeString(ex.bstrDescription);
        ::SysFreeString(ex.bstrSource);
        ::SysFreeString(ex.bstrHelpFile);
        throw Error(vantrel::AnsiFromWide(text));
    }
    if (FAILED(hr)) throw Error("Automation call failed: 0x" + std::to_string(unsigned(hr)));
    return result;
}

vantrel::Variant LateBound::Get(const wchar_t* name, std::vector<VARIANT> args) {
    return Invoke(name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args);
}

void LateBound::Put(const wchar_t* name, VARIANT value) {
    std::vector<VARIANT> args{value};
    Invoke(name, DISPATCH_PROPERTYPUT, args);
}

vantrel::Variant LateBound::Call(const wchar_t* name, std::vector<VARIANT> args) {
    return Invoke(name, DISPATCH_METHOD, args);
}

namespace {
vantrel::Variant As(vantrel::Variant v, VARTYPE type) {
    vantrel::Variant out;
    if (FAILED(::VariantChangeType(out.get(), v.get(), 0, type))) throw Error("Invalid variant type conversion");
    return out;
}
}  // namespace

std::string LateBound::Text(const wchar_t* name) {
    vantrel::Variant v = As(Get(name), VT_BSTR);
    return v->bstrVal ? vantrel::AnsiFromWide(v->bstrVal, ::SysStringLen(v->bstrVal)) : std::string();
}
long LateBound::Long(const wchar_t* name) { return As(Get(name), VT_I4)->lVal; }
bool LateBound::Bool(const wchar_t* name) { return As(Get(name), VT_BOOL)->boolVal != VARIANT_FALSE; }
Microsoft::WRL::ComPtr<IDispatch> LateBound::Object(const wchar_t* name) {
    vantrel::Variant v = Get(name);
    Microsoft::WRL::ComPtr<IDispatch> d;
    if (v->vt == VT_DISPATCH) d = v->pdispVal;
    if (!d) throw Error("No object for " + vantrel::AnsiFromWide(std::wstring(name)));
    return d;
}
void LateBound::PutText(const wchar_t* name, const std::string& text) { Put(name, TextArg(text)); }
void LateBound::PutLong(const wchar_t* name, long value) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = value;
    Put(name, v);
}
void LateBound::PutBool(const wchar_t* name, bool value) {
    VARIANT v;
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    Put(name, v);
}

VARIANT TextArg(const std::string& text) {
    VARIANT v;
    v.vt = VT_BSTR;
    std::wstring w = vantrel::WideFromAnsi(text);
    v.bstrVal = ::SysAllocStringLen(w.data(), UINT(w.size()));
    return v;
}

StringList ReadList(IDispatch* list) {
    LateBound l(list);
    StringList result;
    long count = l.Long(L"Count");
    for (long i = 0; i < count; ++i) {
        VARIANT index;
        index.vt = VT_I4;
        index.lVal = i;
        vantrel::Variant item = As(l.Get(L"Item", {index}), VT_BSTR);
        result.Add(item->bstrVal ? vantrel::AnsiFromWide(item->bstrVal, ::SysStringLen(item->bstrVal)) : "");
    }
    return result;
}

}  // namespace dovrin::pages
