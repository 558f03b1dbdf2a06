// HollinERROR: the error entry over the Win32 shell's dialog, mail and logs.
#include <windows.h>

#include "core/error_entry.h"
#include "error_dialog.h"
#include "hollin.h"

namespace trap {
namespace {

class WinErrorEntrySteps : public ErrorEntrySteps {
public:
    std::string SystemInfoReport() override { return trap::SystemInfoReport(); }
    Answer ShowDialog() override {
        // The dialog gets the plain arrow whatever pointer the program had set.
        HCURSOR previous = SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
        Answer answer = ShowErrorDialog();
        SetCursor(previous);
        return answer;
    }
    void MailReport() override { MailErrorReport(); }
    void WriteErrorLog() override { trap::WriteErrorLog(); }
};

}  // namespace

Answer HollinERROR(const std::string& module, const std::string& procedure, const RunTimeError& error) {
    try {
        WinErrorEntrySteps steps;
        return RunErrorEntry(Globals(), Platform(), steps, module, procedure, error);
    } catch (...) {
        // The entry never raises: the caller leaves its procedure.
        Globals().trace_paused = false;
        return std::nullopt;
    }
}

}  // namespace trap
