// Late-bound calls by dispatch id, as a container or script host makes them.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>
#include <vector>

namespace vantrel::com {

struct CallOutcome {
    HRESULT hr = S_OK;
    bool raised = false;       // the object raised an exception (DISP_E_EXCEPTION)
    std::wstring description;  // its own text then
};

// Calls member `id` with `args` in call order (cleared afterwards); a property put names
// its one argument. A raised exception (DISP_E_EXCEPTION) gives its own status and
// description, its other texts freed.
CallOutcome InvokeMember(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT>& args,
                         VARIANT* result = nullptr);

// A text argument for a call (a BSTR variant; an empty text is allowed).
VARIANT TextVariant(const std::wstring& text);

}  // namespace vantrel::com
