// DllRegisterServer and DllUnregisterServer of our in-process servers: the class entries
// of platform/winapi/core/class_entries.h written and deleted, and the type libraries.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>
#include <vector>

#include "platform/winapi/core/class_entries.h"

namespace vantrel::com {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", as registry keys and values name a GUID.
std::string GuidText(REFGUID guid);

// A module with one class (the first of its class table), apartment threaded, described
// by the module's type library (version 1.0) and with a versioned ProgID unless prog_id is
// null, defines this and links vantrel_typed_server, which supplies DllRegisterServer and
// DllUnregisterServer.
struct TypedServer {
    const char* name;
    const char* prog_id;
    const GUID* libid;
};
extern const TypedServer kTypedServer;

// The full path of the module that links this library; empty when it cannot be read.
std::string ModulePath();

// Writes the values; the first failure ends it.
HRESULT WriteValues(const std::vector<RegistryValue>& values);
// Deletes the keys with their subtrees; a key that is not there is no failure.
HRESULT DeleteKeys(Root root, const std::vector<std::string>& keys);

// Every class's entries for this module, then unregistration of exactly those.
HRESULT RegisterClasses(const std::vector<ClassRegistration>& classes);
HRESULT UnregisterClasses(const std::vector<ClassRegistration>& classes);

// The module's own type library (its resource), by the version and locale it carries.
HRESULT RegisterModuleTypeLib();
HRESULT UnregisterModuleTypeLib();
// A type library registered under the version and locale given; one that is not
// registered is no failure of unregistration.
HRESULT UnregisterTypeLibrary(REFGUID libid, WORD major, WORD minor, LCID lcid, SYSKIND syskind);

// The usual whole of it: the classes and the module's type library.
HRESULT RegisterServer(const std::vector<ClassRegistration>& classes);
HRESULT UnregisterServer(const std::vector<ClassRegistration>& classes);

}  // namespace vantrel::com
