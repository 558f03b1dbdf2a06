// Mirrolan.dll: its class and its registration. The class is created by its class id only.
#include <windows.h>

#include "log_monitor.h"
#include "mirrolan_idl.h"
#include "platform/winapi/com_module.h"
#include "platform/winapi/self_registration.h"

namespace vantrel::com {
const ClassEntry kModuleClasses[] = {{&CLSID_Mirrolan, mirrolan::CreateLogMonitor}};
const size_t kModuleClassCount = 1;
const TypedServer kTypedServer = {"Mirrolan", nullptr, &LIBID_MirrolanLib};
}  // namespace vantrel::com
