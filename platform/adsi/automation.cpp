#include "automation.h"

#include "platform/winapi/oleauto.h"

namespace vantrel::adsi {

HRESULT Fail(HRESULT hr, const std::wstring& what) {
    com::SetErrorInfo(L"WinNT", what.c_str());
    return hr;
}

std::wstring SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = n ? std::wstring(text, n) : std::wstring(L"Error");
    if (text) ::LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message + L" (" + std::to_wstring(code) + L")";
}

HRESULT ArgText(const DISPPARAMS* params, UINT index, std::wstring& out) {
    if (index >= params->cArgs) return DISP_E_BADPARAMCOUNT;
    // Arguments arrive last first.
    const VARIANT& arg = params->rgvarg[params->cArgs - 1 - index];
    Variant plain;
    HRESULT hr = ::VariantCopyInd(plain.get(), const_cast<VARIANT*>(&arg));
    if (FAILED(hr)) return hr;
    hr = ::VariantChangeType(plain.get(), plain.get(), 0, VT_BSTR);
    if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
    out.assign(plain->bstrVal ? plain->bstrVal : L"", ::SysStringLen(plain->bstrVal));
    return S_OK;
}

HRESULT ResultText(VARIANT* result, const std::wstring& text) {
    if (!result) return S_OK;
    ::VariantInit(result);
    BSTR s = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!s) return E_OUTOFMEMORY;
    result->vt = VT_BSTR;
    result->bstrVal = s;
    return S_OK;
}

HRESULT ResultLong(VARIANT* result, long value) {
    if (!result) return S_OK;
    ::VariantInit(result);
    result->vt = VT_I4;
    result->lVal = value;
    return S_OK;
}

}  // namespace vantrel::adsi
