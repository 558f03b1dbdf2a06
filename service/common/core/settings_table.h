// Every setting a program of ours reads: where it lives, its name, its type, what a
// reader takes when it is absent, and which programs read it. Readers take names and
// defaults from here, and README's configuration table is checked against it, so that a
// setting cannot be read without being documented or documented with another default.
// Plain C++: also built and tested on the host.
#pragma once

#include <cstddef>
#include <string>

namespace vantrel::common {

// The registry keys under HKEY_LOCAL_MACHINE and the ini file beside the service.
constexpr const char* kSettingsKey = "SOFTWARE\\Pelorin Software\\Quenloc\\1.0";
constexpr const char* kMailControlKey = "SOFTWARE\\VelmSendmail";
// The monitor keeps one subkey per program file name and log below this one.
constexpr const char* kResumeKey = "SOFTWARE\\Mirrolan\\Resume";
constexpr const char* kTrapIniName = "Nalt.INI";

enum class SettingType { RegSz, RegDword, IniText };

// The programs that read a setting, as bits.
enum SettingReader : unsigned {
    kReadByService = 1,      // Quenloc.exe, its error trap included
    kReadByManager = 2,      // Tallisk.exe
    kReadBySender = 4,       // syslogsend.exe
    kReadByMailControl = 8,  // VelmSendmail.ocx
    kReadByMonitor = 16,     // Mirrolan.dll
};

enum class SettingId {
    MonitorAppLog,
    MonitorSecurityLog,
    MonitorSystemLog,
    MonitorDSLog,
    MonitorDNSLog,
    MonitorFRSLog,
    MonitorInfoEvents,
    MonitorWarningEvents,
    MonitorErrorEvents,
    IncludeExclude,
    SMTPServer,
    FromEmail,
    UserName,
    Password,
    SendEmail,
    SyslogConsoleName,
    SyslogConsolePort,
    SyslogProtocol,
    SendSyslogMessage,
    SecureConsole,
    Debug,
    EntriesWaitAtEndMs,
    ReplyTimeoutSeconds,
    SessionTimeoutSeconds,
    RetryWindowSeconds,
    ResumeLastRaised,
    ResumeClean,
    ResumeLastEntry,
    TrapCircularLog,
    TrapCircularFileName,
    TrapRecordSize,
    TrapMaxRecords,
    TrapForceSystemInfo,
    TrapEmailAddress,
    TrapWriteToDisk,
    TrapCaptureToDisk,
    TrapLogFile,
    TrapSilentRun,
    TrapDisplayMode,
    TrapIncludeResources,
    TrapIncludeMemory,
    TrapIncludeArguments,
    TrapIncludeUser,
    Count
};

struct Setting {
    SettingId id;
    const char* key;      // registry key under HKEY_LOCAL_MACHINE, or the ini file
    const char* section;  // the ini section; empty for a registry value
    const char* name;
    SettingType type;
    // What a reader takes when the value is absent or unusable; empty: nothing.
    const char* fallback;
    unsigned readers;
};

constexpr unsigned kServiceAndManager = kReadByService | kReadByManager;

// Registry texts are compared exactly ("1" on, "I"/"E", "UDP"); an absent one reads as
// empty. The manager shows its window's design state for an absent switch.
inline constexpr Setting kSettings[] = {
    {SettingId::MonitorAppLog, kSettingsKey, "", "MonitorAppLog", SettingType::RegSz, "", kServiceAndManager},
    {SettingId::MonitorSecurityLog, kSettingsKey, "", "MonitorSecurityLog", SettingType::RegSz, "", kServiceAndManager},
    {SettingId::MonitorSystemLog, kSettingsKey, "", "MonitorSystemLog", SettingType::RegSz, "", kServiceAndManager},
    {SettingId::MonitorDSLog, kSettingsKey, "", "MonitorDSLog", SettingType::RegSz, "", kServiceAndManager},
    {SettingId::MonitorDNSLog, kSettingsKey, "", "MonitorDNSLog", SettingType::RegSz, "", kServiceAndManager},
    {SettingId::MonitorFRSLog, kSettingsKey, "", "MonitorFRSLog", SettingType::RegSz, "", kServiceAndManager},
    {SettingId::MonitorInfoEvents, kSettingsKey, "", "MonitorInfoEvents", SettingType::RegSz, "", kServiceAndManager},
    {SettingId::MonitorWarningEvents, kSettingsKey, "", "MonitorWarningEvents", SettingType::RegSz, "",
     kServiceAndManager},
    {SettingId::MonitorErrorEvents, kSettingsKey, "", "MonitorErrorEvents", SettingType::RegSz, "", kServiceAndManager},
    {SettingId::IncludeExclude, kSettingsKey, "", "IncludeExclude", SettingType::RegSz, "", kServiceAndManager},
    {SettingId::SMTPServer, kSettingsKey, "", "SMTPServer", SettingType::RegSz, "", kServiceAndManager},
    {SettingId::FromEmail, kSettingsKey, "", "FromEmail", SettingType::RegSz, "", kServiceAndManager},
    {SettingId::UserName, kSettingsKey, "", "UserName", SettingType::RegSz, "", kServiceAndManager},
    {SettingId::Password, kSettingsKey, "", "Password", SettingType::RegSz, "", kServiceAndManager},
    {SettingId::SendEmail, kSettingsKey, "", "SendEmail", SettingType::RegSz, "", kServiceAndManager},
    {SettingId::SyslogConsoleName, kSettingsKey, "", "SyslogConsoleName", SettingType::RegSz, "",
     kReadByManager | kReadBySender},
    {SettingId::SyslogConsolePort, kSettingsKey, "", "SyslogConsolePort", SettingType::RegSz, "514",
     kReadByManager | kReadBySender},
    {SettingId::SyslogProtocol, kSettingsKey, "", "SyslogProtocol", SettingType::RegSz, "TCP",
     kReadByManager | kReadBySender},
    {SettingId::SendSyslogMessage, kSettingsKey, "", "SendSyslogMessage", SettingType::RegSz, "", kServiceAndManager},
    {SettingId::SecureConsole, kSettingsKey, "", "SecureConsole", SettingType::RegSz, "", kReadByManager},
    {SettingId::Debug, kSettingsKey, "", "Debug", SettingType::RegSz, "", kReadByService | kReadBySender},
    {SettingId::EntriesWaitAtEndMs, kSettingsKey, "", "EntriesWaitAtEndMs", SettingType::RegSz, "300000",
     kReadByService},

    {SettingId::ReplyTimeoutSeconds, kMailControlKey, "", "ReplyTimeoutSeconds", SettingType::RegDword, "30",
     kReadByMailControl},
    {SettingId::SessionTimeoutSeconds, kMailControlKey, "", "SessionTimeoutSeconds", SettingType::RegDword, "60",
     kReadByMailControl},
    {SettingId::RetryWindowSeconds, kMailControlKey, "", "RetryWindowSeconds", SettingType::RegDword, "600",
     kReadByMailControl},

    {SettingId::ResumeLastRaised, kResumeKey, "", "LastRaised", SettingType::RegDword, "", kReadByMonitor},
    {SettingId::ResumeClean, kResumeKey, "", "Clean", SettingType::RegDword, "", kReadByMonitor},
    {SettingId::ResumeLastEntry, kResumeKey, "", "LastEntry", SettingType::RegSz, "", kReadByMonitor},

    // The profile reader matches sections and keys without regard to case.
    {SettingId::TrapCircularLog, kTrapIniName, "Log File", "CircularLog", SettingType::IniText, "0", kReadByService},
    {SettingId::TrapCircularFileName, kTrapIniName, "CircularLog", "FileName", SettingType::IniText, "circ0001.log",
     kReadByService},
    {SettingId::TrapRecordSize, kTrapIniName, "CircularLog", "RecordSize", SettingType::IniText, "1024",
     kReadByService},
    {SettingId::TrapMaxRecords, kTrapIniName, "CircularLog", "MaxRecords", SettingType::IniText, "10", kReadByService},
    {SettingId::TrapForceSystemInfo, kTrapIniName, "preferences", "Force System Info", SettingType::IniText, "",
     kReadByService},
    {SettingId::TrapEmailAddress, kTrapIniName, "email", "Address", SettingType::IniText, "", kReadByService},
    {SettingId::TrapWriteToDisk, kTrapIniName, "Log File", "Write To Disk", SettingType::IniText, "", kReadByService},
    {SettingId::TrapCaptureToDisk, kTrapIniName, "Log File", "Capture To Disk", SettingType::IniText, "",
     kReadByService},
    {SettingId::TrapLogFile, kTrapIniName, "Log File", "Log File", SettingType::IniText, "error.log", kReadByService},
    {SettingId::TrapSilentRun, kTrapIniName, "preferences", "Silent Run", SettingType::IniText, "0", kReadByService},
    {SettingId::TrapDisplayMode, kTrapIniName, "preferences", "Display Mode", SettingType::IniText, "0",
     kReadByService},
    {SettingId::TrapIncludeResources, kTrapIniName, "include", "Resources", SettingType::IniText, "1", kReadByService},
    {SettingId::TrapIncludeMemory, kTrapIniName, "include", "Memory", SettingType::IniText, "1", kReadByService},
    {SettingId::TrapIncludeArguments, kTrapIniName, "include", "Arguments", SettingType::IniText, "1", kReadByService},
    {SettingId::TrapIncludeUser, kTrapIniName, "include", "User", SettingType::IniText, "1", kReadByService},
};

constexpr size_t kSettingCount = static_cast<size_t>(SettingId::Count);

constexpr bool SettingsInIdOrder() {
    if (sizeof kSettings / sizeof kSettings[0] != kSettingCount) return false;
    for (size_t i = 0; i < kSettingCount; ++i)
        if (static_cast<size_t>(kSettings[i].id) != i) return false;
    return true;
}
static_assert(SettingsInIdOrder(), "one row per SettingId, in the enumeration's order");

constexpr const Setting& SettingOf(SettingId id) { return kSettings[static_cast<size_t>(id)]; }
constexpr const char* SettingName(SettingId id) { return SettingOf(id).name; }
constexpr const char* SettingSection(SettingId id) { return SettingOf(id).section; }
constexpr const char* SettingFallback(SettingId id) { return SettingOf(id).fallback; }

// The fallback of a numeric setting as a number.
constexpr unsigned FallbackNumber(SettingId id) {
    unsigned n = 0;
    for (const char* c = SettingOf(id).fallback; *c; ++c) n = n * 10 + static_cast<unsigned>(*c - '0');
    return n;
}

// A name for the wide registry functions; every name here is ASCII.
inline std::wstring WideSettingText(const char* text) {
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

}  // namespace vantrel::common
