// Dovrin.dll entry points: module state and the control's class factory.
#include <windows.h>

#include "automation/service_control.h"
#include "dovrin.h"
#include "pages/property_pages.h"
#include "platform/winapi/com_server.h"

namespace {

HMODULE g_module = nullptr;
vantrel::com::ModuleCounts g_counts;

}  // namespace

namespace vantrel::com {
ModuleCounts& Counts() { return g_counts; }
HMODULE ModuleHandle() { return g_module; }
}  // namespace vantrel::com

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    using namespace dovrin;
    const struct {
        const CLSID* clsid;
        vantrel::com::CreateFunction create;
    } factories[] = {
        {&CLSID_VuRURazerir, automation::CreateServiceControl},
        {&automation::kLogonAsPage, pages::CreateLogonAsPage},
        {&automation::kManagerAccessPage, pages::CreateManagerAccessPage},
        {&automation::kServiceAccessPage, pages::CreateServiceAccessPage},
        {&automation::kDependenciesPage, pages::CreateDependenciesPage},
    };
    for (const auto& f : factories)
        if (*f.clsid == clsid) return vantrel::com::GetClassFactory(f.create, riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return g_counts.CanUnload() ? S_OK : S_FALSE; }
