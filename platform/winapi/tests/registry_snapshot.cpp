#include "registry_snapshot.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/winapi/handles.h"

namespace vantrel::test {

namespace {

std::string Utf8(const wchar_t* text, size_t length) {
    if (length == 0) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text, int(length), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, int(length), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& text) {
    int n = ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0);
    std::wstring out(size_t(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), out.data(), n);
    return out;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(::tolower(c)); });
    return s;
}

void ReplaceAll(std::string& s, const std::string& what, const std::string& with) {
    if (what.empty()) return;
    const std::string lower_what = Lower(what);
    for (size_t at = Lower(s).find(lower_what); at != std::string::npos; at = Lower(s).find(lower_what, at + with.size()))
        s.replace(at, what.size(), with);
}

std::string Data(DWORD type, const BYTE* data, DWORD size) {
    char number[32];
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ: {
        std::wstring text(reinterpret_cast<const wchar_t*>(data), size / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0') text.pop_back();
        std::replace(text.begin(), text.end(), L'\0', L'|');
        return (type == REG_SZ ? "SZ " : type == REG_EXPAND_SZ ? "EXPAND_SZ " : "MULTI_SZ ") +
               Utf8(text.data(), text.size());
    }
    case REG_DWORD:
        if (size == sizeof(DWORD)) {
            std::snprintf(number, sizeof number, "DWORD %lu", *reinterpret_cast<const unsigned long*>(data));
            return number;
        }
        break;
    }
    std::string hex = "TYPE" + std::to_string(type);
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(number, sizeof number, " %02x", data[i]);
        hex += number;
    }
    return hex;
}

void Walk(HKEY parent, const std::wstring& path, const std::string& label, Snapshot& out) {
    // The 32-bit view of a 64-bit system mirrors the class entries; a 32-bit one has none.
    if (::lstrcmpiW(path.c_str(), L"Wow6432Node") == 0) return;
    RegKey key;
    if (::RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    out.insert("K " + label);
    DWORD subkeys = 0, max_subkey = 0, values = 0, max_name = 0, max_data = 0;
    ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, &max_subkey, nullptr, &values, &max_name,
                       &max_data, nullptr, nullptr);
    std::vector<wchar_t> name(max_name + 2);
    std::vector<BYTE> data(max_data + 2);
    for (DWORD i = 0; i < values; ++i) {
        DWORD name_size = DWORD(name.size()), data_size = DWORD(data.size()), type = 0;
        if (::RegEnumValueW(key.get(), i, name.data(), &name_size, nullptr, &type, data.data(), &data_size) !=
            ERROR_SUCCESS)
            continue;
        out.insert("V " + label + " | " + Utf8(name.data(), name_size) + " | " + Data(type, data.data(), data_size));
    }
    std::vector<std::wstring> children;
    std::vector<wchar_t> child(max_subkey + 2);
    for (DWORD i = 0; i < subkeys; ++i) {
        DWORD size = DWORD(child.size());
        if (::RegEnumKeyExW(key.get(), i, child.data(), &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            children.emplace_back(child.data(), size);
    }
    for (const auto& c : children) Walk(key.get(), c, label + "\\" + Utf8(c.data(), c.size()), out);
}

std::string Normalized(std::string line, const std::string& module_path) {
    ReplaceAll(line, module_path, "<module>");
    ReplaceAll(line, module_path.substr(0, module_path.find_last_of('\\')), "<folder>");
    ReplaceAll(line, "\\win32", "\\<win>");
    ReplaceAll(line, "\\win64", "\\<win>");
    return line;
}

std::vector<std::string> Minus(const Snapshot& a, const Snapshot& b) {
    std::vector<std::string> out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) text += "  " + l + "\n";
    return text;
}

Snapshot ReadLines(const std::string& file) {
    Snapshot lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') lines.insert(line);
    return lines;
}

// Removes the keys among the lines, as on a machine the module was never registered on:
// a copy that an older build left behind must not hide what this one leaves.
void RemoveKeys(const Snapshot& lines) {
    for (const auto& line : lines) {
        if (line.rfind("K ", 0) != 0 || line.find('<') != std::string::npos) continue;
        const std::string path = line.substr(2);
        HKEY root = path.rfind("HKLM\\", 0) == 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        ::RegDeleteTreeW(root, Wide(path.substr(5)).c_str());
    }
}

}  // namespace

Snapshot TakeSnapshot(const std::string& module_path) {
    Snapshot raw, out;
    Walk(HKEY_LOCAL_MACHINE, L"Software", "HKLM\\Software", raw);
    Walk(HKEY_CURRENT_USER, L"Software\\Classes", "HKCU\\Software\\Classes", raw);
    for (const auto& line : raw) out.insert(Normalized(line, module_path));
    return out;
}

unsigned long Regsvr32(const std::string& module_path, bool unregister) {
    std::wstring command = std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u " : L"") + L"\"" +
                           Wide(module_path) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return ::GetLastError();
    Handle process(pi.hProcess), thread(pi.hThread);
    if (::WaitForSingleObject(process.get(), 120000) != WAIT_OBJECT_0) return WAIT_TIMEOUT;
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    return code;
}

void ExpectExactRoundTrip(const std::string& module_path, const std::string& expected_file) {
    const char* capture = std::getenv("VANTREL_CAPTURE_REGISTRATION");
    const Snapshot expected = capture ? Snapshot() : ReadLines(expected_file);
    ASSERT_TRUE(capture || !expected.empty()) << "no entries in " << expected_file;
    ASSERT_EQ(Regsvr32(module_path, true), 0u);
    RemoveKeys(expected);

    const Snapshot before = TakeSnapshot(module_path);
    ASSERT_EQ(Regsvr32(module_path, false), 0u);
    const Snapshot after = TakeSnapshot(module_path);
    const auto written = Minus(after, before);
    EXPECT_EQ(Lines(Minus(before, after)), "") << "registration changed or removed what was there";
    if (capture) {
        std::ofstream out(expected_file);
        for (const auto& line : written) out << line << "\n";
    } else {
        const Snapshot got(written.begin(), written.end());
        EXPECT_EQ(Lines(Minus(got, expected)), "") << "registration wrote what it should not";
        EXPECT_EQ(Lines(Minus(expected, got)), "") << "registration did not write";
    }

    ASSERT_EQ(Regsvr32(module_path, true), 0u);
    const Snapshot removed = TakeSnapshot(module_path);
    EXPECT_EQ(Lines(Minus(removed, before)), "") << "unregistration left behind";
    EXPECT_EQ(Lines(Minus(before, removed)), "") << "unregistration removed what was not its own";
    ASSERT_EQ(Regsvr32(module_path, false), 0u);
}

}  // namespace vantrel::test
