// Drives the error dialog from a thread of the test while the trap's thread sits in the
// dialog's modal loop: finds the dialog, reads and sets its controls, clicks buttons, and
// answers the message boxes it opens.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "error_dialog.h"

namespace trap_test {

inline bool OwnWindow(HWND w) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    return pid == GetCurrentProcessId();
}

// The first visible top-level window of this process with class `cls`.
inline HWND FindVisible(const char* cls, DWORD timeout_ms) {
    const DWORD start = GetTickCount();
    do {
        for (HWND w = FindWindowExA(nullptr, nullptr, cls, nullptr); w; w = FindWindowExA(nullptr, w, cls, nullptr))
            if (OwnWindow(w) && IsWindowVisible(w)) return w;
        Sleep(10);
    } while (GetTickCount() - start < timeout_ms);
    return nullptr;
}

inline std::string Text(HWND w) {
    std::string text(static_cast<size_t>(GetWindowTextLengthA(w)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(w, text.data(), static_cast<int>(text.size()))));
    return text;
}
inline std::string Text(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }
inline bool Visible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }

inline std::vector<std::string> ComboItems(HWND combo) {
    std::vector<std::string> items;
    const LRESULT n = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        char buffer[1024] = {};
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
        items.push_back(buffer);
    }
    return items;
}

inline std::vector<std::string> ListItems(HWND list) {
    std::vector<std::string> items;
    const LRESULT n = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        char buffer[1024] = {};
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
        items.push_back(buffer);
    }
    return items;
}

// As a user picking an item of a combo box: the selection changes and the owner hears of it.
inline void Choose(HWND dialog, int combo_id, int index) {
    HWND combo = GetDlgItem(dialog, combo_id);
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(combo_id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

// A click as the dialog hears of it from its button.
inline void Click(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
// For a button whose handler opens a message box: the click must not wait for it.
inline void PostClick(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Waits for a message box of this process, returns its text and closes it with OK.
inline std::string AnswerMessageBox(std::string* title = nullptr) {
    HWND box = FindVisible("#32770", 5000);
    if (!box) return "<no message box>";
    const std::string text = Text(GetDlgItem(box, 0xFFFF));
    if (title) *title = Text(box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 200 && IsWindow(box); ++i) Sleep(10);
    return text;
}

// Runs `script` on its own thread with the dialog once it is visible. A script that
// leaves the dialog up is followed by Continue, so that no test waits for a person.
class DialogDriver {
public:
    explicit DialogDriver(std::function<void(HWND)> script, DWORD timeout_ms = 10000)
        : thread_([this, script = std::move(script), timeout_ms] {
              HWND dialog = FindVisible(trap::kErrorDialogClass, timeout_ms);
              found_ = dialog != nullptr;
              if (!dialog) return;
              script(dialog);
              if (IsWindow(dialog) && IsWindowVisible(dialog)) Click(dialog, trap::kNsCtrlContinue);
          }) {}
    ~DialogDriver() { Join(); }
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    void Join() {
        if (thread_.joinable()) thread_.join();
    }
    bool Found() {
        Join();
        return found_;
    }

private:
    std::atomic<bool> found_{false};
    std::thread thread_;
};

}  // namespace trap_test
