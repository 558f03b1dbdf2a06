// For tests that link the library's classes in: module counts of their own. No module
// handle, so dispatch through the type library is not available to them.
#include <windows.h>

#include "platform/winapi/com_server.h"

namespace vantrel::com {
ModuleCounts& Counts() {
    static ModuleCounts counts;
    return counts;
}
HMODULE ModuleHandle() { return nullptr; }
}  // namespace vantrel::com
