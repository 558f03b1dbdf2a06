#include "error_text.h"

namespace lorvex {

int32_t StatusFromWin32(uint32_t code) {
    if (code == 0) return kStatusFail;
    return static_cast<int32_t>(0x80070000u | (code & 0xFFFFu));
}

std::string ErrorDescription(const char* fixed_text, const std::optional<std::string>& system_message) {
    std::string text = fixed_text ? fixed_text : "";
    if (!system_message) return text;
    if (text.empty()) return *system_message;
    return text + " - " + *system_message;
}

}  // namespace lorvex
