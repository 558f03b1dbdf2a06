// TNTServiceX: the ActiveX control "Dovrin.VuRURazerir" over one TNTService. It implements
// INTServiceX (with the members of INTPersistentX) and what a container needs to create,
// site, persist, browse and activate it; it is invisible at run time.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <memory>

#include "automation/auto_object.h"
#include "dovrin.h"
#include "nt_service.h"

namespace dovrin::automation {

HRESULT CreateServiceControl(REFIID riid, void** ppv);

// The CLSIDs of the four property pages, in the order the control names them.
extern const CLSID kLogonAsPage, kManagerAccessPage, kServiceAccessPage, kDependenciesPage;
// Miscellaneous status of the control: invisible at run time.
constexpr DWORD kMiscStatus = OLEMISC_INVISIBLEATRUNTIME;

// Display texts of the two access properties for the property browser.
std::string ManagerAccessDisplay(ManagerAccess access);
std::string ServiceAccessDisplay(ServiceAccess access);

}  // namespace dovrin::automation
