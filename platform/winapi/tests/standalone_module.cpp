// The module a test provides when it links COM classes directly instead of loading
// their DLL: its own counts, and no module handle.
#include "platform/winapi/com_server.h"

namespace vantrel::com {
ModuleCounts& Counts() {
    static ModuleCounts counts;
    return counts;
}
HMODULE ModuleHandle() { return nullptr; }
}  // namespace vantrel::com
