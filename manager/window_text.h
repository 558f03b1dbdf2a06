// Texts of the windows' controls, in the system's ANSI code page as the files keep them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vantrel::manager {

std::string WindowTextOf(HWND window);
// Every item of a list box, in its order.
std::vector<std::string> ListItems(HWND list);

}  // namespace vantrel::manager
