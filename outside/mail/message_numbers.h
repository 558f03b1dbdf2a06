// What a client may ask of the mail control to tell which message an outcome answers:
// a message that finds the queue full fails at once, ahead of the older ones that still
// wait, so outcomes do not always come in the order the messages were handed over.
// Found with QueryInterface, so that the automation interface stays as its callers know it.
#pragma once

#include <unknwn.h>

#include "platform/winapi/com_object.h"

namespace velmsendmail {

// {25DF2799-F890-4295-BBAA-5415C424F42A}
inline const IID IID_IVelmSendmailNumbers = {0x25df2799, 0xf890, 0x4295, {0xbb, 0xaa, 0x54, 0x15, 0xc4, 0x24, 0xf4, 0x2a}};

struct IVelmSendmailNumbers : public IUnknown {
    // The number of the message the last successful SendMessage handed over: 1 for the
    // control's first, one more for each after it; 0 before any.
    virtual HRESULT STDMETHODCALLTYPE LastHanded(ULONG* number) = 0;
    // While an Error or SendComplete event is raised: the number of the message it answers;
    // 0 outside the events.
    virtual HRESULT STDMETHODCALLTYPE Answering(ULONG* number) = 0;
};

}  // namespace velmsendmail

template <>
struct vantrel::com::InterfaceId<velmsendmail::IVelmSendmailNumbers> {
    static const IID& Get() { return velmsendmail::IID_IVelmSendmailNumbers; }
};
