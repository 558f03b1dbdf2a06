#include "oleauto.h"

namespace vantrel {

std::wstring WideFromAnsi(const char* s, size_t len) {
    if (len == 0) return {};
    int n = ::MultiByteToWideChar(CP_ACP, 0, s, static_cast<int>(len), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, s, static_cast<int>(len), out.data(), n);
    return out;
}

std::string AnsiFromWide(const wchar_t* s, size_t len) {
    if (len == 0) return {};
    int n = ::WideCharToMultiByte(CP_ACP, 0, s, static_cast<int>(len), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, s, static_cast<int>(len), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace vantrel
