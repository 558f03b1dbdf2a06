// For tests that link the control's code in: the module counts of their own, and the
// installed DLL as the module whose type library the control's dispatch uses.
#include <windows.h>

#include "platform/winapi/com_server.h"

namespace vantrel::com {
ModuleCounts& Counts() {
    static ModuleCounts counts;
    return counts;
}
HMODULE ModuleHandle() {
    static HMODULE module = ::LoadLibraryA(DOVRIN_DLL_PATH);
    return module;
}
}  // namespace vantrel::com
