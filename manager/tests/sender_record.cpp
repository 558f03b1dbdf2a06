// Test stand-in for syslogsend.exe: writes its whole command line to cmdline.txt beside
// itself, under that name only once complete.
#include <windows.h>

#include <string>

int main() {
    const std::string line = ::GetCommandLineA();
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, n);
    folder = folder.substr(0, folder.find_last_of('\\'));
    const std::string tmp = folder + "\\cmdline.tmp", done = folder + "\\cmdline.txt";
    HANDLE h = ::CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    ::WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(h);
    return ::MoveFileExA(tmp.c_str(), done.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
