#include "platform/winapi/com_module.h"

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
    return vantrel::com::Barrier([&] {
        for (size_t i = 0; i < vantrel::com::kModuleClassCount; ++i) {
            const auto& entry = vantrel::com::kModuleClasses[i];
            if (*entry.clsid != clsid) continue;
            if (entry.class_object) return entry.class_object(riid, ppv);
            return vantrel::com::GetClassFactory(entry.create, riid, ppv);
        }
        return CLASS_E_CLASSNOTAVAILABLE;
    });
}

STDAPI DllCanUnloadNow() { return g_counts.CanUnload() ? S_OK : S_FALSE; }
