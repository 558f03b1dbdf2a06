// Screenshot helper: posts a command (or a close) to a top-level dialog found by title,
// the way a click would reach it.  post_command TITLE ID|close
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    HWND target = nullptr;
    for (int i = 0; i < 100 && !target; ++i) {
        target = ::FindWindowA("#32770", argv[1]);
        if (!target) ::Sleep(50);
    }
    if (!target) return 1;
    if (lstrcmpiA(argv[2], "close") == 0) return ::PostMessageA(target, WM_CLOSE, 0, 0) ? 0 : 1;
    const int id = std::atoi(argv[2]);
    return ::PostMessageA(target, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0) ? 0 : 1;
}
