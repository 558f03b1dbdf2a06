// The mail control: seven text properties, SendMessage, and the outcome events raised
// through a connection point on the thread that created the control.
#pragma once

#include <windows.h>

namespace velmsendmail {

HRESULT CreateMailControl(REFIID riid, void** ppv);

}  // namespace velmsendmail
