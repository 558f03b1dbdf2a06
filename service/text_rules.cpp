#include "text_rules.h"

#include <windows.h>

#include <oleauto.h>

#include "common/core/run_time_error.h"
#include "platform/winapi/oleauto.h"

namespace quenloc {

double TextToDouble(const std::string& text) {
    using vantrel::common::RunTimeError;
    if (text.find('\0') != std::string::npos) throw RunTimeError(13, "Type mismatch");
    const std::wstring wide = vantrel::WideFromAnsi(text);
    double value = 0;
    const HRESULT hr = ::VarR8FromStr(const_cast<OLECHAR*>(wide.c_str()), LOCALE_USER_DEFAULT, 0, &value);
    if (hr == DISP_E_OVERFLOW) throw RunTimeError(vantrel::common::kErrOverflow, "Overflow");
    if (hr == E_OUTOFMEMORY) throw RunTimeError(7, "Out of memory");
    if (FAILED(hr)) throw RunTimeError(13, "Type mismatch");
    return value;
}

std::string UpperText(const std::string& text) {
    std::string upper = text;
    // A counted buffer: NULs inside the text are no end. List lines come from files of at
    // most 64 MiB, so the length fits.
    if (!upper.empty()) ::CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
    return upper;
}

}  // namespace quenloc
