// What a client may ask of the mail control beyond its automation members: how long a
// message that could not be sent for a passing reason is tried again. Found with
// QueryInterface, so that the automation interface stays as its callers know it.
#pragma once

#include <unknwn.h>

#include "platform/winapi/com_object.h"

namespace velmsendmail {

// {FB47D0AE-730C-490D-984C-2153DEA519AB}
inline const IID IID_IVelmSendmailRetry = {0xfb47d0ae, 0x730c, 0x490d, {0x98, 0x4c, 0x21, 0x53, 0xde, 0xa5, 0x19, 0xab}};

struct IVelmSendmailRetry : public IUnknown {
    // For the messages handed over from now on, in place of the control's setting:
    // 0 (one try only) to 3600 seconds; E_INVALIDARG beyond.
    virtual HRESULT STDMETHODCALLTYPE SetRetryWindow(ULONG seconds) = 0;
};

}  // namespace velmsendmail

template <>
struct vantrel::com::InterfaceId<velmsendmail::IVelmSendmailRetry> {
    static const IID& Get() { return velmsendmail::IID_IVelmSendmailRetry; }
};
