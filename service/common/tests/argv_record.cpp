// Test stand-in for the sender: records how the platform split its command line, as
// "<count>\n<argument 1>" in the ANSI code page, in args.txt beside itself.
#include <windows.h>

#include <shellapi.h>

#include <string>

int main() {
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::string out = std::to_string(count) + "\n";
    if (args && count > 1) {
        int n = ::WideCharToMultiByte(CP_ACP, 0, args[1], -1, nullptr, 0, nullptr, nullptr);
        std::string a(static_cast<size_t>(n), '\0');
        ::WideCharToMultiByte(CP_ACP, 0, args[1], -1, a.data(), n, nullptr, nullptr);
        a.resize(a.size() - 1);
        out += a;
    }
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string file(path, n);
    file = file.substr(0, file.find_last_of('\\')) + "\\args.tmp";
    HANDLE h = ::CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(h, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
    ::CloseHandle(h);
    // Appears under its final name only once complete.
    std::string done = file.substr(0, file.size() - 3) + "txt";
    ::MoveFileA(file.c_str(), done.c_str());
    return 0;
}
