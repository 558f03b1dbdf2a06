// Raising the library's errors: system, network-management and security-authority failures
// all become a ComponentError whose text is the decimal code, ": " and the message.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace dovrin {

std::string SysErrorText(std::uint32_t code);
std::string NetErrorText(std::uint32_t status);
[[noreturn]] void RaiseNTError(const std::string& text);
// Raises the thread's last error; returns when it is 0.
void RaiseLastNTError();
void NetCheck(std::uint32_t status);
void LsaCheck(LONG status);

}  // namespace dovrin
