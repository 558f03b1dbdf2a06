// Lorvex.dll's classes, in the order of the class table.
#include "classes.h"
#include "lorvex.h"
#include "platform/winapi/com_module.h"

namespace vantrel::com {

const ClassEntry kModuleClasses[] = {
    {&CLSID_EventSource, lorvex::CreateEventSource},
    {&CLSID_EventSourceConfiguration, lorvex::CreateEventSourceConfiguration},
    {&CLSID_EventLog, lorvex::CreateEventLog},
    {&CLSID_EventLogBackup, lorvex::CreateEventLogBackup},
    // Not creatable in the type library, but registered with a factory: clients may make one.
    {&CLSID_EventLogRecord, lorvex::CreateEventLogRecord},
    {&CLSID_EventLogConfiguration, lorvex::CreateEventLogConfiguration},
};
const size_t kModuleClassCount = sizeof kModuleClasses / sizeof kModuleClasses[0];

}  // namespace vantrel::com
