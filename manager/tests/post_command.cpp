// Posts a command (or a close) to a top-level dialog found by title, the way a click would
// reach it; or prints what the main window's switches show, as the settings they stand
// for ("MonitorAppLog=1" ..., "IncludeExclude=E").
//   post_command TITLE ID|close|switches
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "core/manager_tables.h"
#include "resource.h"

namespace {

bool Checked(HWND dialog, int id) {
    return ::SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    HWND target = nullptr;
    for (int i = 0; i < 100 && !target; ++i) {
        target = ::FindWindowA("#32770", argv[1]);
        if (!target) ::Sleep(50);
    }
    if (!target) return 1;
    if (lstrcmpiA(argv[2], "close") == 0) return ::PostMessageA(target, WM_CLOSE, 0, 0) ? 0 : 1;
    if (lstrcmpiA(argv[2], "switches") == 0) {
        // The window shows once its load has read the settings.
        for (int i = 0; i < 200 && !::IsWindowVisible(target); ++i) ::Sleep(50);
        if (!::IsWindowVisible(target)) return 1;
        for (const auto& s : vantrel::manager::Switches())
            std::printf("%s=%s\n", s.setting, vantrel::manager::SwitchText(Checked(target, s.control_id)));
        std::printf("IncludeExclude=%s\n", Checked(target, IDC_OPTINCLUDE) ? "I" : "E");
        return 0;
    }
    const int id = std::atoi(argv[2]);
    return ::PostMessageA(target, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0) ? 0 : 1;
}
