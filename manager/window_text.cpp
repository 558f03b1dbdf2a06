#include "window_text.h"

namespace vantrel::manager {

std::string WindowTextOf(HWND window) {
    int n = ::GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(n) + 1, '\0');
    n = ::GetWindowTextA(window, text.data(), n + 1);
    text.resize(static_cast<size_t>(n > 0 ? n : 0));
    return text;
}

std::vector<std::string> ListItems(HWND list) {
    std::vector<std::string> items;
    const LRESULT count = ::SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT len = ::SendMessageA(list, LB_GETTEXTLEN, i, 0);
        std::string text(static_cast<size_t>(len > 0 ? len : 0) + 1, '\0');
        len = ::SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(len > 0 ? len : 0));
        items.push_back(text);
    }
    return items;
}

}  // namespace vantrel::manager
