#include "nt_errors.h"

#include <cstring>

#include "binding.h"
#include "core/errors.h"
#include "core/net_error_table.h"

namespace dovrin {
namespace {

std::string SystemMessage(std::uint32_t code) {
    char buffer[1024];
    std::memset(buffer, 0, sizeof buffer);
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                     buffer, sizeof buffer - 1, nullptr);
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

}  // namespace

std::string SysErrorText(std::uint32_t code) {
    return ComposeErrorMessage(std::int32_t(code), SystemMessage(code));
}

std::string NetErrorText(std::uint32_t status) { return NetErrorTextWith(status, SystemMessage); }

void RaiseNTError(const std::string& text) { throw ComponentError(text); }

void RaiseLastNTError() {
    DWORD code = ::GetLastError();
    if (code != 0) RaiseNTError(SysErrorText(code));
}

void NetCheck(std::uint32_t status) {
    if (status != 0) RaiseNTError(NetErrorText(status));
}

void LsaCheck(LONG status) {
    if (status == 0) return;
    if (binding::IsWinNT())
        RaiseNTError(SysErrorText(sys::LsaNtStatusToWinError(status)));
    RaiseNTError(SysErrorText(std::uint32_t(status)));
}

}  // namespace dovrin
