// Byte forms of the settings values under the settings key, apart from the registry
// calls themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vantrel::common {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

// The largest value a read accepts, in bytes; a longer value is unreadable.
constexpr size_t kSettingReadLimit = 1024;

enum class SettingRead {
    Unreadable,  // result false, out text untouched
    Text,        // result true, out text replaced
    Untouched,   // result true, out text untouched (a type that is neither text nor number)
};

struct DecodedSetting {
    SettingRead outcome;
    std::string text;
};

// A value as the registry returned it: its type and its first size bytes.
DecodedSetting DecodeSetting(uint32_t type, const unsigned char* data, size_t size);

// The bytes a write stores: texts without their terminating NUL, numbers as 4 bytes
// little-endian. Empty for a type that is not written.
std::optional<std::string> EncodeSetting(uint32_t type, const std::string& value);
std::optional<std::string> EncodeSetting(uint32_t type, int32_t value);

}  // namespace vantrel::common
