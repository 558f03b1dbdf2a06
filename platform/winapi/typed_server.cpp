// DllRegisterServer and DllUnregisterServer of a module with one class described by
// kTypedServer.
#include "platform/winapi/com_module.h"
#include "platform/winapi/self_registration.h"

namespace {

vantrel::com::ClassRegistration Class() {
    const auto& server = vantrel::com::kTypedServer;
    vantrel::com::ClassRegistration c;
    c.clsid = vantrel::com::GuidText(*vantrel::com::kModuleClasses[0].clsid);
    c.name = server.name;
    c.prog_id = server.prog_id ? server.prog_id : "";
    c.versioned = server.prog_id != nullptr;
    c.type_lib = vantrel::com::GuidText(*server.libid);
    c.version = "1.0";
    return c;
}

}  // namespace

STDAPI DllRegisterServer() { return vantrel::com::RegisterServer({Class()}); }
STDAPI DllUnregisterServer() { return vantrel::com::UnregisterServer({Class()}); }
