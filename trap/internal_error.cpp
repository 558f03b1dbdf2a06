// pfErr: the component's report of a failure inside itself.
#include <windows.h>

#include "core/error_classes.h"
#include "hollin.h"

namespace trap {

void pfErr(int32_t number, const std::string& where) {
    try {
        const std::string text = where + " " + HollinReportText(23) + " " + std::to_string(number) + ", '" +
                                 StandardMessage(number).text + "', inside HOLLIN\r\n";
        const std::string title = "Hollin" + HollinReportText(24);
        if (MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_ICONSTOP | MB_OK) != 0) return;
    } catch (...) {
    }
    // Building or showing the box failed: say so with the plainest box there is.
    try {
        const DWORD failure = GetLastError();
        const std::string text = HollinReportText(25) + std::to_string(failure) + HollinReportText(26) +
                                 std::to_string(__LINE__);
        MessageBoxA(nullptr, text.c_str(), Globals().program.name.c_str(), MB_OK);
    } catch (...) {
    }
}

}  // namespace trap
