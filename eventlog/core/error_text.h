// How the library turns a failure into a status and a description. No Windows headers:
// this is shared with the host build and its tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lorvex {

constexpr int32_t kStatusFail = static_cast<int32_t>(0x80004005);  // E_FAIL

// The status of a Windows error code: 0x80070000 | low 16 bits of the code.
// A code of 0 is a failure whose cause the system did not record; it must not read as
// success, so it becomes E_FAIL.
int32_t StatusFromWin32(uint32_t code);

// "fixed - system message" with the system message unchanged (its line end included);
// either part alone when the other is missing.
std::string ErrorDescription(const char* fixed_text, const std::optional<std::string>& system_message);

}  // namespace lorvex
