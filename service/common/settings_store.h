// Reads and writes of the settings under the registry key that the service and the
// manager share. Texts go through the ANSI entry points, one byte per character.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "core/settings_table.h"

namespace vantrel::common {

// Reads one value as text. True when it was read; on false the out text is exactly as
// passed in (a missing key or value, a value of zero length or longer than 1,024 bytes).
// A value of a type that is neither text nor number reads as true with the out text
// unchanged.
bool GetKeyValue(HKEY root, const std::string& key_path, const std::string& value_name, std::string& out);

// Writes one value (type 1 REG_SZ, 3 REG_BINARY or 4 REG_DWORD), creating the key when
// it is missing. Texts are stored without a terminating NUL, so an empty text becomes a
// value of zero length. True when the value was stored.
bool SetKeyValue(HKEY root, const std::string& key_path, uint32_t type, const std::string& value_name,
                 const std::string& value);
bool SetKeyValue(HKEY root, const std::string& key_path, uint32_t type, const std::string& value_name,
                 int32_t value);

}  // namespace vantrel::common
