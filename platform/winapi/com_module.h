// The entry points every in-process COM server of ours shares: DllMain, the module counts,
// DllGetClassObject over a class table and DllCanUnloadNow. A DLL links the
// vantrel_com_module library and defines its class table; registration stays its own.
#pragma once

#include <cstddef>

#include "platform/winapi/com_server.h"

namespace vantrel::com {

struct ClassEntry {
    const CLSID* clsid;
    CreateFunction create;
};

// Defined by each DLL: the classes DllGetClassObject hands out factories for.
extern const ClassEntry kModuleClasses[];
extern const size_t kModuleClassCount;

}  // namespace vantrel::com
