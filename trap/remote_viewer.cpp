// The outside remote trace viewer: found by its window title, fed lines as window text.
#include <vector>

#include "win_platform.h"

namespace trap {
namespace {

constexpr char kViewerTitle[] = "Tesmore Hollin";
constexpr UINT kViewerQuery = WM_USER + 100;  // 0x0464
constexpr LRESULT kPauseRequest = 128;

struct DisabledWindows {
    DWORD process = GetCurrentProcessId();
    HWND viewer = nullptr;
    std::vector<HWND> windows;
};

BOOL CALLBACK DisableOne(HWND hwnd, LPARAM param) {
    auto* d = reinterpret_cast<DisabledWindows*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == d->process && hwnd != d->viewer && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        EnableWindow(hwnd, FALSE);
        d->windows.push_back(hwnd);
    }
    return TRUE;
}

}  // namespace

bool IsRemoteViewerTitle(const std::string& title) {
    const std::string prefix = std::string(kViewerTitle) + " -";
    return title == kViewerTitle || title.compare(0, prefix.size(), prefix) == 0;
}

HWND FindRemoteViewerWindow() {
    for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        char title[256] = {};
        const int n = GetWindowTextA(w, title, 256);
        if (n > 0 && IsRemoteViewerTitle(std::string(title, n))) return w;
    }
    return nullptr;
}

void SendLineToViewer(HWND viewer, const std::string& line) {
    DWORD_PTR answer = 0;
    // The text goes as ANSI with its length in characters as the first parameter.
    answer = static_cast<DWORD_PTR>(
        SendMessageA(viewer, WM_SETTEXT, line.size(), reinterpret_cast<LPARAM>(line.c_str())));
    if (answer != static_cast<DWORD_PTR>(kPauseRequest)) return;

    // The viewer asked for a pause: the program's forms take no input until it lets go.
    DisabledWindows disabled;
    disabled.viewer = viewer;
    EnumWindows(DisableOne, reinterpret_cast<LPARAM>(&disabled));
    for (;;) {
        if (SendMessageA(viewer, kViewerQuery, 1, 0) == 0) break;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (SendMessageA(viewer, kViewerQuery, 2, 0) != 0) break;
        // A viewer that has gone away answers 0 above and ends the pause.
    }
    for (HWND w : disabled.windows) EnableWindow(w, TRUE);
}

}  // namespace trap
