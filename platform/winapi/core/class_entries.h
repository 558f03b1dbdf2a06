// The registry entries that self-registration writes for a class, and the keys that
// unregistration deletes, in plain C++: every in-process server of ours registers through
// these, so that what unregistration removes is exactly what registration wrote.
#pragma once

#include <string>
#include <vector>

namespace vantrel::com {

enum class Root { ClassesRoot, LocalMachine };

// One registry value. An empty name is the key's default value.
struct RegistryValue {
    std::string key;
    std::string name;
    std::string data;
    bool key_only = false;  // the key alone, with no value at all
    Root root = Root::ClassesRoot;
};

struct ClassRegistration {
    std::string clsid;         // "{...}"
    std::string name;          // default value of the class key and of its ProgIDs
    std::string prog_id;       // empty: the class is created by its class id only
    bool versioned = false;    // "<ProgID>.1" beside the ProgID, with CurVer and VersionIndependentProgID
    std::string threading = "Apartment";
    std::string type_lib;      // "{...}"; empty: no TypeLib key
    std::string version;       // empty: no Version key
    bool programmable = false;  // the bare "Programmable" key
    bool app_id = false;       // an AppID of the class's own id, for the system's surrogate
    // An ActiveX control: "Control", "ToolboxBitmap32" (the module's bitmap resource) and
    // "MiscStatus" for the aspect DVASPECT_CONTENT.
    bool control = false;
    int toolbox_bitmap = 0;
    unsigned long misc_status = 0;
};

// Every value the class writes under HKEY_CLASSES_ROOT, parents before children.
std::vector<RegistryValue> ClassValues(const ClassRegistration& c, const std::string& module_path);

// The keys, under HKEY_CLASSES_ROOT, that unregistration deletes with their subtrees:
// every value above lies under one of them, and their parents ("CLSID", "AppID") stay.
std::vector<std::string> ClassKeys(const ClassRegistration& c);

}  // namespace vantrel::com
