// Error reporting of the library: every failure reaches automation clients as a status
// with error information whose source is the reporting class's ProgID.
#pragma once

#include <windows.h>

namespace lorvex {

// Reports a Windows error code with an optional fixed text; returns the status.
HRESULT ReportWin32Error(REFCLSID clsid, DWORD code, const char* text);

// Reports a fixed text with a given status; returns that status.
HRESULT ReportError(REFCLSID clsid, HRESULT status, const char* text);

// "Null pointer" with E_POINTER, the answer of every getter given no result pointer.
HRESULT ReportNullPointer(REFCLSID clsid);

// The answer of a member whose behaviour this build does not have yet.
HRESULT ReportNotBuilt(REFCLSID clsid, const char* member);

}  // namespace lorvex
