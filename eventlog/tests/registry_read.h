// Small registry readers for the library's tests.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/winapi/handles.h"

inline bool KeyExists(HKEY root, const std::string& path) {
    vantrel::RegKey key;
    return ::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

inline std::optional<std::string> ReadString(HKEY root, const std::string& path, const char* name = nullptr) {
    vantrel::RegKey key;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return std::nullopt;
    char buffer[1024];
    DWORD size = sizeof(buffer), type = 0;
    if (::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return std::nullopt;
    if (type != REG_SZ) return std::nullopt;
    return std::string(buffer, size ? size - 1 : 0);
}

inline DWORD ValueCount(HKEY root, const std::string& path) {
    vantrel::RegKey key;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return ~0u;
    DWORD values = 0;
    ::RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, nullptr);
    return values;
}
