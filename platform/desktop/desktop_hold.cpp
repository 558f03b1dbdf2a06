// Keeps the prefix's desktop open for the length of a test run.
//
// Wine closes the default desktop about a second after its last window-owning process
// ends, and the next program that creates a window starts the desktop process again and
// waits at most ten seconds for it. On a loaded machine that start can take longer: the
// program then gets no window station driver at all and every window it creates fails.
// One process that owns a hidden window for the whole run keeps the desktop from closing.
//
//   vtdesktop.exe READY_FILE   creates READY_FILE once its window exists, then waits
//                              until the prefix's programs are ended
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    HWND window = ::CreateWindowExA(0, "STATIC", "Vantrel desktop hold", WS_POPUP, 0, 0, 1, 1, nullptr,
                                    nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (!window) return 1;
    HANDLE ready = ::CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE) return 1;
    ::CloseHandle(ready);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
    return 0;
}
