#include "com_support.h"

#include <oleauto.h>

#include <cstdio>
#include <stdexcept>

#include "common/core/run_time_error.h"
#include "hollin.h"
#include "platform/winapi/late_bound.h"

namespace quenloc {

namespace {

// The platform's texts for COM's own statuses, for systems whose message table lacks them
// (Wine's): what a failed creation or call most often says.
const char* ComStatusText(HRESULT hr) {
    switch (hr) {
    case REGDB_E_CLASSNOTREG: return "Class not registered";
    case REGDB_E_IIDNOTREG: return "Interface not registered";
    case CLASS_E_CLASSNOTAVAILABLE: return "ClassFactory cannot supply requested class";
    case CO_E_CLASSSTRING: return "Invalid class string";
    case CO_E_NOTINITIALIZED: return "CoInitialize has not been called.";
    case E_NOINTERFACE: return "No such interface supported";
    case E_NOTIMPL: return "Not implemented";
    case E_POINTER: return "Invalid pointer";
    case E_FAIL: return "Unspecified error";
    case E_UNEXPECTED: return "Catastrophic failure";
    case DISP_E_EXCEPTION: return "Exception occurred.";
    default: return nullptr;
    }
}

}  // namespace

void RaiseComFailure(HRESULT hr, const char* /*what*/) {
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
        if (description.empty() && ComStatusText(hr)) description = ComStatusText(hr);
        if (description.empty()) {
            char code[32];
            std::snprintf(code, sizeof code, "Unknown error 0x%08lX", static_cast<unsigned long>(hr));
            description = code;
        }
    }
    throw trap::RunTimeError(static_cast<int32_t>(hr), description, source);
}

void Translate(const std::function<void()>& statement) {
    try {
        statement();
    } catch (const std::invalid_argument& e) {
        throw trap::RunTimeError(5, "Invalid procedure call or argument");
    }
}

void PutText(IDispatch* object, DISPID id, const std::string& value) {
    std::vector<VARIANT> args{vantrel::com::TextVariant(Wide(value))};
    const vantrel::com::CallOutcome outcome = vantrel::com::InvokeMember(object, id, DISPATCH_PROPERTYPUT, args);
    Check(outcome.raised ? DISP_E_EXCEPTION : outcome.hr, "Property set");
}

void CallMethod(IDispatch* object, DISPID id, std::vector<VARIANT> args) {
    const vantrel::com::CallOutcome outcome = vantrel::com::InvokeMember(object, id, DISPATCH_METHOD, args);
    if (outcome.raised) {
        const HRESULT code = outcome.hr == DISP_E_EXCEPTION ? E_FAIL : outcome.hr;
        const std::string text = vantrel::AnsiFromWide(outcome.description);
        throw trap::RunTimeError(static_cast<int32_t>(code), text.empty() ? "Method call failed" : text);
    }
    Check(outcome.hr, "Method call");
}

}  // namespace quenloc
