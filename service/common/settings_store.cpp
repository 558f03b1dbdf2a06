#include "settings_store.h"

#include <optional>

#include "core/setting_value.h"
#include "platform/winapi/handles.h"

namespace vantrel::common {

namespace {

// Full access also for reading, as both programs have always opened the key.
constexpr REGSAM kSettingsAccess = 0x2003F;

bool Store(HKEY root, const std::string& key_path, uint32_t type, const std::string& value_name,
           const std::optional<std::string>& bytes) {
    RegKey key;
    if (::RegOpenKeyExA(root, key_path.c_str(), 0, kSettingsAccess, key.put()) != ERROR_SUCCESS) {
        // A failed create shows up as a failed write below.
        ::RegCreateKeyA(root, key_path.c_str(), key.put());
    }
    if (!bytes) return false;
    if (!key) return false;
    // The registry stores an uncounted NUL too when one directly follows the counted
    // text bytes; a byte other than NUL after them keeps the stored form exactly the count.
    std::string data = *bytes + '\x01';
    LONG rc = ::RegSetValueExA(key.get(), value_name.c_str(), 0, type,
                               reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(bytes->size()));
    return rc == ERROR_SUCCESS;
}

}  // namespace

bool GetKeyValue(HKEY root, const std::string& key_path, const std::string& value_name, std::string& out) {
    RegKey key;
    if (::RegOpenKeyExA(root, key_path.c_str(), 0, kSettingsAccess, key.put()) != ERROR_SUCCESS) return false;
    unsigned char buffer[kSettingReadLimit] = {};
    DWORD size = sizeof(buffer);
    DWORD type = 0;
    if (::RegQueryValueExA(key.get(), value_name.c_str(), nullptr, &type, buffer, &size) != ERROR_SUCCESS)
        return false;
    DecodedSetting decoded = DecodeSetting(type, buffer, size);
    switch (decoded.outcome) {
    case SettingRead::Unreadable: return false;
    case SettingRead::Text: out = decoded.text; return true;
    case SettingRead::Untouched: return true;
    }
    return false;
}

bool SetKeyValue(HKEY root, const std::string& key_path, uint32_t type, const std::string& value_name,
                 const std::string& value) {
    return Store(root, key_path, type, value_name, EncodeSetting(type, value));
}

bool SetKeyValue(HKEY root, const std::string& key_path, uint32_t type, const std::string& value_name,
                 int32_t value) {
    return Store(root, key_path, type, value_name, EncodeSetting(type, value));
}

}  // namespace vantrel::common
