// Lorvex.dll entry points: module state and the class factories.
#include <windows.h>

#include "classes.h"
#include "lorvex.h"
#include "platform/winapi/com_server.h"

namespace {

HMODULE g_module = nullptr;
vantrel::com::ModuleCounts g_counts;

struct FactoryEntry {
    const CLSID* clsid;
    vantrel::com::CreateFunction create;
};

const FactoryEntry kFactories[] = {
    {&CLSID_EventSource, lorvex::CreateEventSource},
    {&CLSID_EventSourceConfiguration, lorvex::CreateEventSourceConfiguration},
    {&CLSID_EventLog, lorvex::CreateEventLog},
    {&CLSID_EventLogBackup, lorvex::CreateEventLogBackup},
    // Not creatable in the type library, but registered with a factory: clients may make one.
    {&CLSID_EventLogRecord, lorvex::CreateEventLogRecord},
    {&CLSID_EventLogConfiguration, lorvex::CreateEventLogConfiguration},
};

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
    for (const auto& f : kFactories) {
        if (*f.clsid == clsid) return vantrel::com::GetClassFactory(f.create, riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
    return g_counts.CanUnload() ? S_OK : S_FALSE;
}
