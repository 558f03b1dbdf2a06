#include "error_report.h"

#include <objbase.h>

#include <optional>
#include <string>

#include "core/error_text.h"
#include "platform/winapi/com_server.h"
#include "platform/winapi/handles.h"
#include "platform/winapi/oleauto.h"

namespace lorvex {
namespace {

std::optional<std::string> SystemMessage(DWORD code) {
    char* buffer = nullptr;
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, code, 0x0400, reinterpret_cast<char*>(&buffer), 0, nullptr);
    vantrel::LocalMemory owner(buffer);
    if (n == 0 || !buffer) return std::nullopt;
    return std::string(buffer, n);
}

// The ProgID registered for the class ("Lorvex.EventLog.1"), empty when none is.
std::wstring RegisteredProgId(REFCLSID clsid) {
    LPOLESTR progid = nullptr;
    if (FAILED(::ProgIDFromCLSID(clsid, &progid)) || !progid) return {};
    std::wstring s = progid;
    ::CoTaskMemFree(progid);
    return s;
}

void SetError(REFCLSID clsid, const std::string& description) {
    std::wstring wide = vantrel::WideFromAnsi(description);
    vantrel::com::SetErrorInfo(RegisteredProgId(clsid).c_str(), wide.c_str());
}

}  // namespace

HRESULT ReportWin32Error(REFCLSID clsid, DWORD code, const char* text) {
    // A failure without a recorded cause carries the fixed text alone, not the
    // system's "completed successfully".
    std::optional<std::string> message = code ? SystemMessage(code) : std::nullopt;
    SetError(clsid, ErrorDescription(text, message));
    return static_cast<HRESULT>(StatusFromWin32(code));
}

HRESULT ReportError(REFCLSID clsid, HRESULT status, const char* text) {
    SetError(clsid, text ? text : "");
    return status;
}

HRESULT ReportNullPointer(REFCLSID clsid) {
    return ReportError(clsid, E_POINTER, "Null pointer");
}

HRESULT ReportNotBuilt(REFCLSID clsid, const char* member) {
    return ReportError(clsid, E_NOTIMPL, (std::string(member) + " is not implemented in this build").c_str());
}

}  // namespace lorvex
