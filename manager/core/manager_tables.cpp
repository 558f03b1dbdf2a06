#include "manager_tables.h"

#include <cctype>

#include "core/settings_table.h"
#include "resource.h"

namespace vantrel::manager {

const std::vector<Switch>& Switches() {
    using Id = common::SettingId;
    constexpr auto Name = common::SettingName;
    static const std::vector<Switch> table = {
        {IDC_APPLICATIONCHECK, "Application", true, Name(Id::MonitorAppLog)},
        {IDC_SECURITYCHECK, "Security", true, Name(Id::MonitorSecurityLog)},
        {IDC_SYSTEMCHECK, "System", true, Name(Id::MonitorSystemLog)},
        {IDC_DSCHECK, "Directory Service", false, Name(Id::MonitorDSLog)},
        {IDC_DNSCHECK, "DNS Server", false, Name(Id::MonitorDNSLog)},
        {IDC_FRSCHECK, "File Replication Service", false, Name(Id::MonitorFRSLog)},
        {IDC_CKINFORMATION, "Information", true, Name(Id::MonitorInfoEvents)},
        {IDC_CKWARNING, "Warning", true, Name(Id::MonitorWarningEvents)},
        {IDC_CKERROR, "Error", true, Name(Id::MonitorErrorEvents)},
    };
    return table;
}

bool CheckedFromSetting(const std::optional<std::string>& value, bool current) {
    if (value == "1") return true;
    if (value == "0") return false;
    return current;
}

std::optional<bool> IncludeFromSetting(const std::optional<std::string>& value) {
    if (value == "I") return true;
    if (value == "E") return false;
    return std::nullopt;
}

const std::vector<ToolButton>& ToolButtons() {
    static const std::vector<ToolButton> table = {
        {IDC_START, "startservice", "Start Nalt Service"},
        {IDC_STOP, "stopservice", "Stop Nalt Service"},
        {IDC_ADD, "add", "Add Inclusion/Exclusion"},
        {IDC_DELETE, "delete", "Delete Inclusion/Exclusion"},
        {IDC_SETUP, "setup", "SMTP Setup"},
        {IDC_ABOUTBTN, "about", "About Nalt"},
    };
    return table;
}

ServiceState StateFromStatus(long status) {
    switch (status) {
    case 1: return {"Stopped", true, false};
    case 2: return {"Start Pending", false, false};
    case 3: return {"Stop Pending", false, false};
    case 4: return {"Running", false, true};
    case 5: return {"Continue Pending", std::nullopt, std::nullopt};
    case 6: return {"Pause Pending", std::nullopt, std::nullopt};
    case 7: return {"Paused", std::nullopt, std::nullopt};
    case 8: return {"Error", std::nullopt, std::nullopt};
    default: return {"", std::nullopt, std::nullopt};
    }
}

std::string TestRecipients(const std::vector<std::string>& items) {
    std::string result;
    bool first = true;
    for (const auto& item : items) {
        std::string head = item.substr(0, 10);
        for (auto& c : head) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (head == "%USERNAME%") continue;
        if (!first) result += ",";
        result += item;
        first = false;
    }
    return result;
}

}  // namespace vantrel::manager
