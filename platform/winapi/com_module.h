// The entry points every in-process COM server of ours shares: DllMain, the module counts,
// DllGetClassObject over a class table and DllCanUnloadNow. A DLL links the
// vantrel_com_module library and defines its class table; registration stays its own.
#pragma once

#include <cstddef>

#include "platform/winapi/com_server.h"

namespace vantrel::com {

// A class whose own class object is handed out instead of our plain factory (one that
// answers more than IClassFactory).
using ClassObjectFunction = HRESULT (*)(REFIID riid, void** ppv);

struct ClassEntry {
    const CLSID* clsid;
    CreateFunction create;
    ClassObjectFunction class_object = nullptr;  // when set, `create` is not used
};

// Defined by each DLL: the classes DllGetClassObject hands out factories for.
extern const ClassEntry kModuleClasses[];
extern const size_t kModuleClassCount;

}  // namespace vantrel::com
