#include "pages/control_by_name.h"

#include "core/errors.h"
#include "platform/winapi/late_bound.h"

namespace dovrin::pages {

vantrel::Variant LateBound::Invoke(const wchar_t* name, WORD flags, std::vector<VARIANT>& args) {
    vantrel::Variant result;
    if (!object_) {
        for (auto& v : args) ::VariantClear(&v);
        throw Error("No object to edit");
    }
    LPOLESTR n = const_cast<LPOLESTR>(name);
    DISPID id = 0;
    if (FAILED(object_->GetIDsOfNames(IID_NULL, &n, 1, 0, &id))) {
        for (auto& v : args) ::VariantClear(&v);
        throw Error("Unknown member " + vantrel::AnsiFromWide(std::wstring(name)));
    }
    const vantrel::com::CallOutcome outcome = vantrel::com::InvokeMember(object_.Get(), id, flags, args, result.get());
    if (outcome.raised) throw Error(vantrel::AnsiFromWide(outcome.description));
    if (FAILED(outcome.hr)) throw Error("Automation call failed: 0x" + std::to_string(unsigned(outcome.hr)));
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
