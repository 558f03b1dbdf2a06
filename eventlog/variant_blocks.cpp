#include "variant_blocks.h"

#include "error_report.h"
#include "platform/winapi/com_barrier.h"
#include "platform/winapi/oleauto.h"

namespace lorvex {
namespace {

std::string Ansi(BSTR s) { return s ? vantrel::AnsiFromWide(s, ::SysStringLen(s)) : std::string(); }

bool IsNothing(const VARIANT& v) { return v.vt == VT_EMPTY || v.vt == VT_ERROR; }

// The bounds of a one-dimensional array.
HRESULT Bounds(REFCLSID clsid, SAFEARRAY* array, LONG* lower, LONG* upper) {
    if (!array || ::SafeArrayGetDim(array) != 1)
        return ReportError(clsid, E_INVALIDARG, "Incorrect array dimensions - expecting one dimensional array");
    HRESULT hr = ::SafeArrayGetLBound(array, 1, lower);
    if (FAILED(hr)) return ReportError(clsid, hr, "Error getting array lower boundary");
    hr = ::SafeArrayGetUBound(array, 1, upper);
    if (FAILED(hr)) return ReportError(clsid, hr, "Error getting array upper boundary");
    return S_OK;
}

}  // namespace

HRESULT VariantToStringBlock(REFCLSID clsid, const VARIANT& arg, std::vector<std::string>* strings) {
    strings->clear();
    vantrel::Variant value;  // scripts pass their variables by reference
    HRESULT hr = ::VariantCopyInd(value.get(), const_cast<VARIANT*>(&arg));
    if (FAILED(hr)) return ReportError(clsid, hr, "Failed to allocate memory for string");
    if (IsNothing(*value.get())) return S_OK;
    if (value->vt == VT_BSTR) {
        strings->push_back(Ansi(value->bstrVal));
        return S_OK;
    }
    if (value->vt != (VT_ARRAY | VT_BSTR) && value->vt != (VT_ARRAY | VT_VARIANT))
        return ReportError(clsid, DISP_E_TYPEMISMATCH, "Unsupported variant type - strings expected");
    LONG lower = 0, upper = -1;
    hr = Bounds(clsid, value->parray, &lower, &upper);
    if (FAILED(hr)) return hr;
    const size_t count = upper >= lower ? static_cast<size_t>(upper - lower) + 1 : 0;
    if (!vantrel::com::TryResize(*strings, count, "Failed to allocate memory for string array"))
        return ReportError(clsid, E_OUTOFMEMORY, "Failed to allocate memory for string array");
    try {
        for (LONG i = lower; i <= upper; ++i) {
            std::string& text = (*strings)[static_cast<size_t>(i - lower)];
            if (value->vt == (VT_ARRAY | VT_BSTR)) {
                vantrel::Bstr s;
                hr = ::SafeArrayGetElement(value->parray, &i, s.put());
                if (FAILED(hr)) return ReportError(clsid, hr, "Error getting array element");
                text = Ansi(s.get());
            } else {
                vantrel::Variant element;
                hr = ::SafeArrayGetElement(value->parray, &i, element.get());
                if (SUCCEEDED(hr) && element->vt != VT_BSTR) hr = ::VariantChangeType(element.get(), element.get(), 0, VT_BSTR);
                if (FAILED(hr)) return ReportError(clsid, hr, "Error getting array element");
                text = Ansi(element->bstrVal);
            }
        }
    } catch (const std::bad_alloc&) {
        return ReportError(clsid, E_OUTOFMEMORY, "Failed to allocate memory for string array");
    }
    return S_OK;
}

HRESULT VariantToByteBlock(REFCLSID clsid, const VARIANT& arg, std::vector<BYTE>* bytes) {
    bytes->clear();
    vantrel::Variant value;
    HRESULT hr = ::VariantCopyInd(value.get(), const_cast<VARIANT*>(&arg));
    if (FAILED(hr)) return ReportError(clsid, hr, "Failed to allocate memory for binary array");
    if (IsNothing(*value.get())) return S_OK;
    if (value->vt != (VT_ARRAY | VT_UI1) && value->vt != (VT_ARRAY | VT_VARIANT))
        return ReportError(clsid, DISP_E_TYPEMISMATCH, "Unsupported variant type - byte array expected");
    LONG lower = 0, upper = -1;
    hr = Bounds(clsid, value->parray, &lower, &upper);
    if (FAILED(hr)) return hr;
    const size_t count = upper >= lower ? static_cast<size_t>(upper - lower) + 1 : 0;
    if (!vantrel::com::TryResize(*bytes, count, "Failed to allocate memory for binary array"))
        return ReportError(clsid, E_OUTOFMEMORY, "Failed to allocate memory for binary array");
    for (LONG i = lower; i <= upper; ++i) {
        BYTE& b = (*bytes)[static_cast<size_t>(i - lower)];
        if (value->vt == (VT_ARRAY | VT_UI1)) {
            hr = ::SafeArrayGetElement(value->parray, &i, &b);
            if (FAILED(hr)) return ReportError(clsid, hr, "Error getting array element");
            continue;
        }
        vantrel::Variant element;
        hr = ::SafeArrayGetElement(value->parray, &i, element.get());
        if (FAILED(hr)) return ReportError(clsid, hr, "Error getting array element");
        hr = ::VariantChangeType(element.get(), element.get(), 0, VT_UI1);
        if (FAILED(hr)) return ReportError(clsid, hr, "Error converting to a byte value");
        b = element->bVal;
    }
    return S_OK;
}

}  // namespace lorvex
