// COM plumbing of the service program: failures as run-time errors, text conversions and
// late-bound calls; the event sink and connection of the shared plumbing.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/winapi/dispatch_sink.h"
#include "platform/winapi/oleauto.h"

namespace quenloc {

using Microsoft::WRL::ComPtr;

// A failed COM call: the status as error number and the object's error text, else the
// platform's text for the status. `what` names the call where it is made.
[[noreturn]] void RaiseComFailure(HRESULT hr, const char* what);
inline void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) RaiseComFailure(hr, what);
}

// Runs a statement and turns the standard library's invalid arguments into run-time
// errors, which the error tail understands; the shared routines throw run-time errors.
void Translate(const std::function<void()>& statement);

using vantrel::com::Connection;
using vantrel::com::DispatchSink;

inline std::string Ansi(const wchar_t* text, size_t length) { return text ? vantrel::AnsiFromWide(text, length) : ""; }
inline std::string Ansi(BSTR text) { return Ansi(text, text ? ::SysStringLen(text) : 0); }
inline std::wstring Wide(const std::string& text) { return vantrel::WideFromAnsi(text); }

// Argument i (in call order) of an event as text; empty when absent.
inline std::string TextArgument(const DISPPARAMS* params, UINT i) {
    return vantrel::AnsiFromWide(vantrel::com::EventArgumentText(params, i));
}

// Late-bound calls by dispatch id.
void PutText(IDispatch* object, DISPID id, const std::string& value);
void CallMethod(IDispatch* object, DISPID id, std::vector<VARIANT> args = {});

}  // namespace quenloc
