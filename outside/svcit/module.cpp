// svcit.ocx: the service-host control and its registration.
#include <windows.h>

#include "class_registration.h"
#include "platform/winapi/com_module.h"
#include "service_host.h"
#include "svcit.h"

namespace vantrel::com {
const ClassEntry kModuleClasses[] = {{&CLSID_SvcIt, svcit::CreateServiceHost}};
const size_t kModuleClassCount = 1;
}  // namespace vantrel::com

namespace {

vantrel::com::ClassInfo Info() {
    return {"{7C3B5E24-4A8D-4F6B-9E12-3D5A7B9C0E41}", "SvcIt", "SVCITLib.SvcIt",
            "{7C3B5E21-4A8D-4F6B-9E12-3D5A7B9C0E41}", LIBID_SVCITLib, vantrel::com::ModuleHandle()};
}

}  // namespace

STDAPI DllRegisterServer() { return vantrel::com::RegisterClassServer(Info()); }
STDAPI DllUnregisterServer() { return vantrel::com::UnregisterClassServer(Info()); }
