#include "platform/winapi/late_bound.h"

namespace vantrel::com {

CallOutcome InvokeMember(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT>& args, VARIANT* result) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    VARIANT ignored;
    ::VariantInit(&ignored);
    EXCEPINFO ex{};
    CallOutcome outcome;
    outcome.hr = object ? object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result ? result : &ignored,
                                         &ex, nullptr)
                        : E_POINTER;
    ::VariantClear(&ignored);
    for (auto& a : args) ::VariantClear(&a);
    if (outcome.hr == DISP_E_EXCEPTION) {
        outcome.raised = true;
        if (ex.pfnDeferredFillIn) ex.pfnDeferredFillIn(&ex);
        if (ex.bstrDescription) outcome.description.assign(ex.bstrDescription, ::SysStringLen(ex.bstrDescription));
        if (ex.scode) outcome.hr = ex.scode;
        ::SysFreeString(ex.bstrSource);
        ::SysFreeString(ex.bstrDescription);
        ::SysFreeString(ex.bstrHelpFile);
    }
    return outcome;
}

VARIANT TextVariant(const std::wstring& text) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return v;
}

}  // namespace vantrel::com
