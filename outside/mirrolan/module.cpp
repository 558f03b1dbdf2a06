// Mirrolan.dll: its class and its registration. The class is created by its class id only.
#include <windows.h>

#include "class_registration.h"
#include "log_monitor.h"
#include "mirrolan_idl.h"
#include "platform/winapi/com_module.h"

namespace vantrel::com {
const ClassEntry kModuleClasses[] = {{&CLSID_Mirrolan, mirrolan::CreateLogMonitor}};
const size_t kModuleClassCount = 1;
}  // namespace vantrel::com

namespace {

vantrel::com::ClassInfo Info() {
    return {"{462F967A-BAF6-4F9C-B347-E4980B5FE3C6}", "Mirrolan", nullptr,
            "{5B0E3D6A-91C4-4E57-A3F2-6C1D8E2B7A40}", LIBID_MirrolanLib, vantrel::com::ModuleHandle()};
}

}  // namespace

STDAPI DllRegisterServer() { return vantrel::com::RegisterClassServer(Info()); }
STDAPI DllUnregisterServer() { return vantrel::com::UnregisterClassServer(Info()); }
