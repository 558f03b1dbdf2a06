// The one switch between the platform's event-log functions and our substitute.
//
// Every caller of ours uses these pointers instead of calling advapi32 directly. The
// choice is made once per process: on Windows they are advapi32.dll's own functions,
// unchanged; under Wine (whose event-log functions are stubs) they are the functions of
// vteventlog.dll, loaded from the folder of the module that contains this library (so it
// is found beside Lorvex.dll inside cscript.exe, and beside a service started by the
// SCM). When the substitute cannot be loaded under Wine, every function fails and sets
// the last error of the failed load; nothing falls back to Wine's stubs.
#pragma once

#include <windows.h>

namespace vantrel::evtapi {

struct Functions {
    decltype(&::OpenEventLogA) OpenEventLogA;
    decltype(&::OpenBackupEventLogA) OpenBackupEventLogA;
    decltype(&::CloseEventLog) CloseEventLog;
    decltype(&::ReadEventLogA) ReadEventLogA;
    decltype(&::GetNumberOfEventLogRecords) GetNumberOfEventLogRecords;
    decltype(&::GetOldestEventLogRecord) GetOldestEventLogRecord;
    decltype(&::BackupEventLogA) BackupEventLogA;
    decltype(&::ClearEventLogA) ClearEventLogA;
    decltype(&::RegisterEventSourceA) RegisterEventSourceA;
    decltype(&::DeregisterEventSource) DeregisterEventSource;
    decltype(&::ReportEventA) ReportEventA;
    decltype(&::NotifyChangeEventLog) NotifyChangeEventLog;
};

// The functions this process uses. Thread-safe; decided on the first call.
const Functions& Get();

// Tests only: while set, Get() hands out `replacement` (which must outlive the setting)
// instead of the chosen functions; null goes back to them. Lets a test see every call
// that reaches the event log (see evtapi_recorder.h).
void SetReplacement(const Functions* replacement);

// Which implementation Get() chose: Platform on Windows, Substitute under Wine, Unavailable
// under Wine when vteventlog.dll could not be loaded (then LoadError() is the reason).
enum class Backend { Platform, Substitute, Unavailable };
Backend Which();
DWORD LoadError();

// File name of the substitute, looked for beside the module that links this library.
inline constexpr wchar_t kSubstituteDll[] = L"vteventlog.dll";

}  // namespace vantrel::evtapi
