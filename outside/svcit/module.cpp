// svcit.ocx: the service-host control and its registration.
#include <windows.h>

#include "platform/winapi/com_module.h"
#include "platform/winapi/self_registration.h"
#include "service_host.h"
#include "svcit.h"

namespace vantrel::com {
const ClassEntry kModuleClasses[] = {{&CLSID_SvcIt, svcit::CreateServiceHost}};
const size_t kModuleClassCount = 1;
const TypedServer kTypedServer = {"SvcIt", "SVCITLib.SvcIt", &LIBID_SVCITLib};
}  // namespace vantrel::com
