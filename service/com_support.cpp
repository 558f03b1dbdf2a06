#include "com_support.h"

#include <oleauto.h>

#include <stdexcept>

#include "common/core/run_time_error.h"
#include "hollin.h"

namespace quenloc {

void RaiseComFailure(HRESULT hr, const char* what) {
    std::string description, source;
    IErrorInfo* info = nullptr;
    if (::GetErrorInfo(0, &info) == S_OK && info) {
        BSTR text = nullptr;
        if (SUCCEEDED(info->GetDescription(&text))) description = Ansi(text);
        ::SysFreeString(text);
        BSTR src = nullptr;
        if (SUCCEEDED(info->GetSource(&src))) source = Ansi(src);
        ::SysFreeString(src);
        info->Release();
    }
    if (description.empty()) {
        char* text = nullptr;
        if (::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<char*>(&text), 0, nullptr)) {
            description = text;
            ::LocalFree(text);
            while (!description.empty() && (description.back() == '\n' || description.back() == '\r'))
                description.pop_back();
        }
        if (description.empty()) description = std::string(what) + " failed";
    }
    throw trap::RunTimeError(static_cast<int32_t>(hr), description, source);
}

void Translate(const std::function<void()>& statement) {
    try {
        statement();
    } catch (const vantrel::common::RunTimeError& e) {
        throw trap::RunTimeError(e.number(), e.what());
    } catch (const std::invalid_argument& e) {
        throw trap::RunTimeError(5, "Invalid procedure call or argument");
    }
}

std::string Ansi(const wchar_t* text, size_t length) {
    if (!text || length == 0) return {};
    int n = ::WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) ::WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
    return out;
}

std::string Ansi(BSTR text) { return Ansi(text, text ? ::SysStringLen(text) : 0); }

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

STDMETHODIMP DispatchSink::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == events_) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP DispatchSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    auto it = handlers_.find(id);
    if (it == handlers_.end()) return S_OK;
    Handler handler = it->second;  // a handler may replace the table
    ComPtr<DispatchSink> self(this);
    try {
        handler(params);
    } catch (...) {
        // Handlers trap their own errors; nothing may unwind into the event's source.
    }
    return S_OK;
}

HRESULT Connection::Connect(IUnknown* source, REFIID events, IDispatch* sink) {
    Reset();
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.GetAddressOf()));
    if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(events, point_.GetAddressOf());
    if (SUCCEEDED(hr)) hr = point_->Advise(sink, &cookie_);
    if (FAILED(hr)) point_.Reset();
    return hr;
}

void Connection::Reset() {
    if (point_) point_->Unadvise(cookie_);
    point_.Reset();
    cookie_ = 0;
}

std::string TextArgument(const DISPPARAMS* params, UINT i) {
    if (!params || i >= params->cArgs) return {};
    VARIANT text;
    ::VariantInit(&text);
    std::string out;
    if (SUCCEEDED(::VariantChangeType(&text, &params->rgvarg[params->cArgs - 1 - i], 0, VT_BSTR)))
        out = Ansi(text.bstrVal);
    ::VariantClear(&text);
    return out;
}

void PutText(IDispatch* object, DISPID id, const std::string& value) {
    VARIANT arg;
    arg.vt = VT_BSTR;
    std::wstring wide = Wide(value);
    arg.bstrVal = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&arg, &named, 1, 1};
    HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                                nullptr);
    ::VariantClear(&arg);
    Check(hr, "Property set");
}

void CallMethod(IDispatch* object, DISPID id, std::vector<VARIANT> args) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    VARIANT result;
    ::VariantInit(&result);
    EXCEPINFO excep{};
    HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &excep, nullptr);
    ::VariantClear(&result);
    if (hr == DISP_E_EXCEPTION) {
        std::string text = Ansi(excep.bstrDescription);
        HRESULT code = excep.scode ? excep.scode : E_FAIL;
        ::SysFreeString(excep.bstrDescription);
        ::SysFreeString(excep.bstrSource);
        ::SysFreeString(excep.bstrHelpFile);
        throw trap::RunTimeError(static_cast<int32_t>(code), text.empty() ? "Method call failed" : text);
    }
    Check(hr, "Method call");
}

}  // namespace quenloc
