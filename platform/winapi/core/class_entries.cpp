#include "class_entries.h"

namespace vantrel::com {

std::vector<RegistryValue> ClassValues(const ClassRegistration& c, const std::string& module_path) {
    const std::string key = "CLSID\\" + c.clsid;
    std::vector<RegistryValue> values = {
        {key, "", c.name},
        {key + "\\InprocServer32", "", module_path},
        {key + "\\InprocServer32", "ThreadingModel", c.threading},
    };
    if (!c.prog_id.empty()) {
        const std::string& plain = c.prog_id;
        const std::string versioned = plain + ".1";
        values.push_back({key + "\\ProgID", "", c.versioned ? versioned : plain});
        values.push_back({plain, "", c.name});
        values.push_back({plain + "\\CLSID", "", c.clsid});
        if (c.versioned) {
            values.push_back({key + "\\VersionIndependentProgID", "", plain});
            values.push_back({plain + "\\CurVer", "", versioned});
            values.push_back({versioned, "", c.name});
            values.push_back({versioned + "\\CLSID", "", c.clsid});
        }
    }
    if (!c.type_lib.empty()) values.push_back({key + "\\TypeLib", "", c.type_lib});
    if (!c.version.empty()) values.push_back({key + "\\Version", "", c.version});
    if (c.programmable) values.push_back({key + "\\Programmable", "", "", true});
    if (c.app_id) {
        const std::string app = "AppID\\" + c.clsid;
        values.push_back({key, "AppID", c.clsid});
        values.push_back({app, "", c.name});
        values.push_back({app, "AppID", c.clsid});
        values.push_back({app, "DllSurrogate", ""});
    }
    if (c.control) {
        values.push_back({key + "\\Control", "", ""});
        values.push_back({key + "\\ToolboxBitmap32", "", module_path + "," + std::to_string(c.toolbox_bitmap)});
        values.push_back({key + "\\MiscStatus", "", "0"});
        values.push_back({key + "\\MiscStatus\\1", "", std::to_string(c.misc_status)});
    }
    return values;
}

std::vector<std::string> ClassKeys(const ClassRegistration& c) {
    std::vector<std::string> keys = {"CLSID\\" + c.clsid};
    if (!c.prog_id.empty()) keys.push_back(c.prog_id);
    if (!c.prog_id.empty() && c.versioned) keys.push_back(c.prog_id + ".1");
    if (c.app_id) keys.push_back("AppID\\" + c.clsid);
    return keys;
}

}  // namespace vantrel::com
