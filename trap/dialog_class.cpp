// The error dialog's window class. Registering it here lets the settings load find out
// which module the dialog belongs to.
#include <cctype>

#include "error_dialog.h"
#include "hollin.h"
#include "win_platform.h"

namespace trap {

bool RegisterErrorDialogClass() {
    static const bool registered = [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = ErrorDialogProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kErrorDialogClass;
        return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

std::string ErrorDialogHostModule() {
    if (!RegisterErrorDialogClass()) return {};
    // Load the form without showing it, ask its class for the module, unload it again.
    HWND form = CreateWindowExA(0, kErrorDialogClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    if (!form) return {};
    const auto module = reinterpret_cast<HMODULE>(GetClassLongPtrA(form, GCLP_HMODULE));
    DestroyWindow(form);
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    std::string name(path, n < MAX_PATH ? n : 0);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const size_t slash = name.find_last_of('\\');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

}  // namespace trap
