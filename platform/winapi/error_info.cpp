// The thread's error information, kept apart from the COM server plumbing: the exception
// barrier sets it too, also in programs that are no COM server.
#include <windows.h>

#include <oaidl.h>

#include "platform/winapi/com_server.h"

namespace vantrel::com {

void SetErrorInfo(const wchar_t* source, const wchar_t* description) {
    ICreateErrorInfo* create = nullptr;
    if (FAILED(::CreateErrorInfo(&create))) return;
    create->SetGUID(GUID_NULL);
    create->SetSource(const_cast<LPOLESTR>(source ? source : L""));
    create->SetDescription(const_cast<LPOLESTR>(description ? description : L""));
    create->SetHelpFile(nullptr);
    create->SetHelpContext(0);
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
        ::SetErrorInfo(0, info);
        info->Release();
    }
    create->Release();
}

}  // namespace vantrel::com
