// The library's classes and the registry entries that self-registration writes for them.
#pragma once

#include <string>
#include <vector>

namespace lorvex {

struct ClassEntry {
    const char* name;     // "EventLog"
    const char* clsid;    // "{2BDD82D6-D5F1-11D2-9679-0000F8770C8E}"
    const char* progid;   // version-independent ProgID, "Lorvex.EventLog"
};

constexpr const char* kTypeLibGuid = "{35D78BF0-D5A4-11D2-9679-0000F8770C8E}";

// Registered classes in registration order.
const std::vector<ClassEntry>& RegisteredClasses();

// One registry value under HKEY_CLASSES_ROOT. An empty name is the key's default value.
struct RegistryValue {
    std::string key;
    std::string name;
    std::string data;
    bool key_only = false;  // the key alone, with no value at all
};

// Every value one class writes, keys in the order they must be created.
std::vector<RegistryValue> RegistrationValues(const ClassEntry& entry, const std::string& module_path);

// The keys that unregistration deletes with their whole subtree. The "CLSID" and
// "AppID" parents stay.
std::vector<std::string> RegistrationKeys(const ClassEntry& entry);

}  // namespace lorvex
