// Hidden message-only windows of a COM server module: how its objects get messages (and
// timers) on the thread that created them.
#pragma once

#include <windows.h>

#include "platform/winapi/com_server.h"

namespace vantrel::com {

// Registers the module's window class `name`; a class that is already there counts.
inline bool RegisterMessageWindowClass(const wchar_t* name, WNDPROC proc) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = ModuleHandle();
    wc.lpszClassName = name;
    return ::RegisterClassW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

inline HWND CreateMessageWindow(const wchar_t* class_name) {
    return ::CreateWindowExW(0, class_name, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ModuleHandle(), nullptr);
}

}  // namespace vantrel::com
