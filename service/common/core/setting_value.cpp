#include "setting_value.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace vantrel::common {

DecodedSetting DecodeSetting(uint32_t type, const unsigned char* data, size_t size) {
    if (size == 0 || size > kSettingReadLimit || !data) return {SettingRead::Unreadable, {}};
    if (type == kRegSz) {
        std::string text(reinterpret_cast<const char*>(data), size);
        // Values stored with their terminating NUL and values stored without read the same.
        if (text.back() == '\0') text.pop_back();
        return {SettingRead::Text, text};
    }
    if (type == kRegDword) {
        // A short value reads with zero bytes after it, as from a zero-filled buffer.
        uint32_t u = 0;
        for (size_t n = 0; n < 4 && n < size; ++n) u |= static_cast<uint32_t>(data[n]) << (8 * n);
        int64_t v = u >= 0x80000000u ? static_cast<int64_t>(u) - 0x100000000LL : static_cast<int64_t>(u);
        return {SettingRead::Text, std::to_string(v)};
    }
    return {SettingRead::Untouched, {}};
}

std::optional<std::string> EncodeSetting(uint32_t type, int32_t value) {
    if (type == kRegSz || type == kRegBinary) return std::to_string(value);
    if (type == kRegDword) {
        uint32_t u = static_cast<uint32_t>(value);
        std::string bytes(4, '\0');
        for (int n = 0; n < 4; ++n) bytes[static_cast<size_t>(n)] = static_cast<char>((u >> (8 * n)) & 0xFF);
        return bytes;
    }
    return std::nullopt;
}

std::optional<std::string> EncodeSetting(uint32_t type, const std::string& value) {
    if (type == kRegSz || type == kRegBinary) return value;
    if (type == kRegDword) {
        // A text given for a number must be a whole decimal number in 32 bits.
        if (value.empty()) return std::nullopt;
        char* end = nullptr;
        errno = 0;
        long long v = std::strtoll(value.c_str(), &end, 10);
        if (errno || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return std::nullopt;
        return EncodeSetting(type, static_cast<int32_t>(v));
    }
    return std::nullopt;
}

}  // namespace vantrel::common
