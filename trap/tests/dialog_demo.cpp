// Shows the error dialog for a typical error of the service, for a look at it on a real
// display (see dialog_screenshot.sh). Leaves by itself after the given seconds.
#include <windows.h>

#include <cstdlib>

#include "error_dialog.h"
#include "hollin.h"

namespace {

void CALLBACK CloseDialog(HWND, UINT, UINT_PTR, DWORD) {
    if (HWND dialog = FindWindowA(trap::kErrorDialogClass, nullptr)) PostMessageA(dialog, WM_CLOSE, 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    trap::HollinLoadSettings();
    trap::HollinPUSH("MainForm", "Sub Main", "");
    trap::HollinPUSH("MainForm", "Sub SvcIt1_Start", "");
    trap::HollinPUSH("MainForm", "Sub LoadSettings", "");
    SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000u, CloseDialog);
    trap::RunTimeError error(53);
    error.line = 120;
    const trap::Answer answer = trap::HollinERROR("MainForm", "Sub LoadSettings", error);
    return answer ? *answer : -1;
}
