#include "class_table.h"

namespace lorvex {

const std::vector<ClassEntry>& RegisteredClasses() {
    static const std::vector<ClassEntry> classes = {
        {"EventSource", "{35D78BFD-D5A4-11D2-9679-0000F8770C8E}", "Lorvex.EventSource"},
        {"EventSourceConfiguration", "{2BDD82D4-D5F1-11D2-9679-0000F8770C8E}", "Lorvex.EventSourceConfiguration"},
        {"EventLog", "{2BDD82D6-D5F1-11D2-9679-0000F8770C8E}", "Lorvex.EventLog"},
        {"EventLogBackup", "{2BDD82D9-D5F1-11D2-9679-0000F8770C8E}", "Lorvex.EventLogBackup"},
        {"EventLogRecord", "{2BDD82DB-D5F1-11D2-9679-0000F8770C8E}", "Lorvex.EventLogRecord"},
        {"EventLogConfiguration", "{62391281-B05A-4816-8003-A8B30B77D13B}", "Lorvex.EventLogConfiguration"},
    };
    return classes;
}

std::vector<RegistryValue> RegistrationValues(const ClassEntry& e, const std::string& module_path) {
    const std::string description = std::string(e.name) + " Class";
    const std::string progid = e.progid;
    const std::string progid1 = progid + ".1";
    const std::string clsid_key = std::string("CLSID\\") + e.clsid;
    const std::string appid_key = std::string("AppID\\") + e.clsid;
    return {
        {progid1, "", description},
        {progid1 + "\\CLSID", "", e.clsid},
        {progid, "", description},
        {progid + "\\CLSID", "", e.clsid},
        {progid + "\\CurVer", "", progid1},
        {clsid_key, "", description},
        {clsid_key, "AppID", e.clsid},
        {clsid_key + "\\ProgID", "", progid1},
        {clsid_key + "\\VersionIndependentProgID", "", progid},
        {clsid_key + "\\Programmable", "", "", true},
        {clsid_key + "\\InprocServer32", "", module_path},
        {clsid_key + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {clsid_key + "\\TypeLib", "", kTypeLibGuid},
        {appid_key, "", description},
        {appid_key, "AppID", e.clsid},
        {appid_key, "DllSurrogate", ""},
    };
}

std::vector<std::string> RegistrationKeys(const ClassEntry& e) {
    const std::string progid = e.progid;
    return {progid + ".1", progid, std::string("CLSID\\") + e.clsid, std::string("AppID\\") + e.clsid};
}

}  // namespace lorvex
