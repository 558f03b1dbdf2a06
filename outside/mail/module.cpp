// VelmSendmail.ocx: its class and its registration.
#include <windows.h>

#include "idl.h"
#include "mail_control.h"
#include "platform/winapi/com_module.h"
#include "platform/winapi/self_registration.h"

namespace vantrel::com {
const ClassEntry kModuleClasses[] = {{&CLSID_VelmSendmail, velmsendmail::CreateMailControl}};
const size_t kModuleClassCount = 1;
const TypedServer kTypedServer = {"VelmSendmail", "VelmSendMail.VelmSendmail", &LIBID_VelmSendMail};
}  // namespace vantrel::com
