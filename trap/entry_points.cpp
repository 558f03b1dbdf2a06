// The trap's entry points over its process-wide state.
#include "hollin.h"
#include "core/error_log.h"
#include "core/text_table.h"
#include "core/trace.h"
#include "win_platform.h"

namespace trap {

TrapState& Globals() {
    static TrapState state;
    return state;
}

TrapPlatform& Platform() {
    static WinPlatform platform;
    return platform;
}

void HollinLoadSettings() {
    try {
        LoadSettings(Globals(), Platform());
    } catch (...) {
        // A load that fails part-way keeps what it had; the trap works on with it.
    }
}

void HollinPUSH(const std::string& module, const std::string& procedure, const std::string& arguments) {
    Push(Globals(), Platform(), module, procedure, arguments);
}

void HollinPOP(const std::string& module, const std::string& procedure, const std::string& arguments) {
    Pop(Globals(), Platform(), module, procedure, arguments);
}

std::string ReportText(int16_t number) {
    try {
        return HollinReportText(number, Platform().Now(), Platform().Program());
    } catch (...) {
        return {};
    }
}

void WriteCircularLog(const std::string& line) {
    try {
        WriteCircularLog(Globals(), Platform(), line);
    } catch (...) {
    }
}

void WriteErrorLog() { WriteErrorLog(Globals(), Platform()); }

void WriteErrorLogLine(const std::string& text) {
    try {
        const StampTime now = Platform().Now();
        AppendLogLine(Globals(), StampDate(now) + " " + StampClock(now) + " - " + text);
    } catch (...) {
        // A line that cannot be written is left out.
    }
}

}  // namespace trap
