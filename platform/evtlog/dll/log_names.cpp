#include "platform/evtlog/dll/log_names.h"

#include <algorithm>
#include <vector>

#include "platform/winapi/handles.h"
#include "platform/winapi/subkey_watch.h"

namespace vantrel::evtlog {
namespace {

const wchar_t kEventLogKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog";

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) == CSTR_EQUAL;
}

bool HasValue(HKEY key, const wchar_t* name) {
    return RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Every subkey is a log, as clients create logs (a new subkey holding only source
// subkeys), except the event-log service's own Parameters key.
bool IsLogKey(HKEY parent, const std::wstring& name) {
    RegKey key;
    if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
    if (!SameText(name, L"Parameters")) return true;
    return HasValue(key.get(), L"File") || HasValue(key.get(), L"MaxSize") ||
           HasValue(key.get(), L"Retention") || HasValue(key.get(), L"Sources");
}

// Enumeration goes by index, so a subkey that another program adds or removes meanwhile
// can make another one be skipped: a removal below it when reading upwards, an addition
// below it when reading downwards. The names are read both ways and merged.
std::vector<std::wstring> Subkeys(HKEY key) {
    std::vector<std::wstring> names;
    wchar_t buf[256];
    auto read = [&](DWORD i) {
        DWORD n = 256;
        LONG r = RegEnumKeyExW(key, i, buf, &n, nullptr, nullptr, nullptr, nullptr);
        if (r != ERROR_SUCCESS) return r;
        std::wstring name(buf, n);
        if (std::none_of(names.begin(), names.end(), [&](const std::wstring& s) { return SameText(s, name); }))
            names.push_back(std::move(name));
        return r;
    };
    for (DWORD i = 0;; ++i) {
        LONG r = read(i);
        if (r != ERROR_SUCCESS && r != ERROR_MORE_DATA) break;
    }
    DWORD count = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) == ERROR_SUCCESS)
        for (DWORD i = count; i-- > 0;) read(i);
    return names;
}

DWORD ReadDword(HKEY key, const wchar_t* name, DWORD fallback) {
    DWORD v = 0, size = sizeof v, type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof v)
        return fallback;
    return v;
}

std::wstring ReadText(HKEY key, const wchar_t* name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
        return {};
    std::wstring v(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(v.data()), &size) != ERROR_SUCCESS)
        return {};
    v.resize(wcsnlen(v.c_str(), v.size()));
    return v;
}

std::wstring Expand(const std::wstring& s) {
    DWORD n = ExpandEnvironmentStringsW(s.c_str(), nullptr, 0);
    if (n == 0) return s;
    std::wstring out(n, L'\0');
    n = ExpandEnvironmentStringsW(s.c_str(), out.data(), n);
    out.resize(n ? n - 1 : 0);
    return out;
}

std::wstring FullPath(const std::wstring& s) {
    DWORD n = GetFullPathNameW(s.c_str(), 0, nullptr, nullptr);
    if (n == 0) return s;
    std::wstring out(n, L'\0');
    n = GetFullPathNameW(s.c_str(), n, out.data(), nullptr);
    out.resize(n);
    return out;
}

}  // namespace

std::wstring Widen(const char* ansi) {
    if (!ansi) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0);
    if (n <= 0) return {};
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi, -1, w.data(), n);
    w.resize(size_t(n - 1));
    return w;
}

std::wstring Upper(std::wstring s) {
    if (!s.empty()) CharUpperBuffW(s.data(), DWORD(s.size()));
    return s;
}

bool IsLocalComputer(const char* server) {
    std::wstring name = Widen(server);
    size_t skip = name.find_first_not_of(L'\\');
    name = skip == std::wstring::npos ? std::wstring() : name.substr(skip);
    if (name.empty()) return true;
    wchar_t buf[MAX_COMPUTERNAME_LENGTH + 256];
    DWORD n = ARRAYSIZE(buf);
    if (GetComputerNameW(buf, &n) && SameText(name, std::wstring(buf, n))) return true;
    n = ARRAYSIZE(buf);
    if (GetComputerNameExW(ComputerNameDnsHostname, buf, &n) && SameText(name, std::wstring(buf, n)))
        return true;
    n = ARRAYSIZE(buf);
    return GetComputerNameExW(ComputerNameDnsFullyQualified, buf, &n) && SameText(name, std::wstring(buf, n));
}

std::wstring ResolveLog(const std::wstring& name) {
    RegKey root;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEventLogKey, 0, KEY_READ, root.put()) != ERROR_SUCCESS)
        return L"Application";
    // No subkey has an empty name or a backslash in it: such a name is neither a log nor
    // a source.
    if (name.empty() || name.find(L'\\') != std::wstring::npos) return L"Application";
    // A log named directly is known by opening its key, which no change to other keys can
    // disturb; the list below only gives it the spelling it was created with.
    const bool is_log = IsLogKey(root.get(), name);
    // A list read while other programs add or remove logs can miss one; each look adds what
    // it saw to the logs already known.
    std::vector<std::wstring> logs;
    std::wstring found;
    LookWhileSubkeysChange(root.get(), [&] {
        for (const auto& sub : Subkeys(root.get())) {
            if (std::any_of(logs.begin(), logs.end(), [&](const std::wstring& l) { return SameText(l, sub); }) ||
                !IsLogKey(root.get(), sub))
                continue;
            if (SameText(sub, name)) {
                found = sub;
                return true;
            }
            logs.push_back(sub);
        }
        if (is_log) return false;
        for (const auto& log : logs) {
            RegKey source;
            if (RegOpenKeyExW(root.get(), (log + L"\\" + name).c_str(), 0, KEY_QUERY_VALUE, source.put()) ==
                ERROR_SUCCESS) {
                found = log;
                return true;
            }
        }
        return false;
    });
    if (!found.empty()) return found;
    return is_log ? name : L"Application";
}

LogConfig ReadLogConfig(const std::wstring& log) {
    LogConfig c;
    RegKey key;
    std::wstring file;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kEventLogKey) + L"\\" + log).c_str(), 0,
                      KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS) {
        file = ReadText(key.get(), L"File");
        c.settings.maxSize = ReadDword(key.get(), L"MaxSize", 0x80000);
        c.settings.retention = ReadDword(key.get(), L"Retention", 0);
    }
    if (file.empty()) {
        // Without a File value the log lives where the platform keeps its own.
        std::wstring base;
        for (wchar_t ch : log) base.push_back(wcschr(L"\\/:*?\"<>|", ch) ? L'_' : ch);
        file = L"%SystemRoot%\\System32\\config\\" + base + L".evt";
    }
    c.path = FullPath(Expand(file));
    return c;
}

}  // namespace vantrel::evtlog
