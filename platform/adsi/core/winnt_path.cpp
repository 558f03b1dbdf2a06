#include "winnt_path.h"

#include <cwctype>

namespace vantrel::adsi {

namespace {

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && SameName(text.substr(0, prefix.size()), prefix);
}

}  // namespace

bool SameName(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towupper(a[i]) != std::towupper(b[i])) return false;
    }
    return true;
}

std::optional<std::wstring> ParseComputerPath(const std::wstring& path) {
    const std::wstring prefix = std::wstring(kProviderName) + L"://";
    if (!StartsWithNoCase(path, prefix)) return std::nullopt;
    std::wstring rest = path.substr(prefix.size());
    const size_t comma = rest.find(L',');
    if (comma != std::wstring::npos) {
        if (!SameName(rest.substr(comma + 1), L"Computer")) return std::nullopt;
        rest.resize(comma);
    }
    if (rest.empty() || rest.find_first_of(L"/\\") != std::wstring::npos) return std::nullopt;
    return rest;
}

std::wstring ComputerPath(const std::wstring& computer) {
    return std::wstring(kProviderName) + L"://" + computer;
}

std::wstring ServicePath(const std::wstring& computer, const std::wstring& service) {
    return ComputerPath(computer) + L"/" + service;
}

long ServiceStatusFromState(unsigned long state) {
    // The provider's numbers are the control manager's states 1 to 7 unchanged.
    return (state >= 1 && state <= 7) ? static_cast<long>(state) : 8;
}

}  // namespace vantrel::adsi
