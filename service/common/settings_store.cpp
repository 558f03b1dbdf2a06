#include "settings_store.h"

#include <optional>

#include "core/procedure_frame.h"
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
    bool result = false;
    InFrame(trace::kGetKeyValue, [&] {
        RegKey key;
        if (::RegOpenKeyExA(root, key_path.c_str(), 0, kSettingsAccess, key.put()) != ERROR_SUCCESS) return;
        unsigned char buffer[kSettingReadLimit] = {};
        DWORD size = sizeof(buffer);
        DWORD type = 0;
        if (::RegQueryValueExA(key.get(), value_name.c_str(), nullptr, &type, buffer, &size) != ERROR_SUCCESS) return;
        DecodedSetting decoded = DecodeSetting(type, buffer, size);
        switch (decoded.outcome) {
        case SettingRead::Unreadable: return;
        case SettingRead::Text: out = decoded.text; result = true; return;
        case SettingRead::Untouched: result = true; return;
        }
    });
    return result;
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
