// Dovrin.dll: the classes it hands out factories for.
#include <windows.h>

#include "automation/service_control.h"
#include "dovrin.h"
#include "pages/property_pages.h"
#include "platform/winapi/com_module.h"

namespace vantrel::com {

const ClassEntry kModuleClasses[] = {
    {&CLSID_VuRURazerir, dovrin::automation::CreateServiceControl},
    {&dovrin::automation::kLogonAsPage, dovrin::pages::CreateLogonAsPage},
    {&dovrin::automation::kManagerAccessPage, dovrin::pages::CreateManagerAccessPage},
    {&dovrin::automation::kServiceAccessPage, dovrin::pages::CreateServiceAccessPage},
    {&dovrin::automation::kDependenciesPage, dovrin::pages::CreateDependenciesPage},
};
const size_t kModuleClassCount = sizeof kModuleClasses / sizeof kModuleClasses[0];

}  // namespace vantrel::com
