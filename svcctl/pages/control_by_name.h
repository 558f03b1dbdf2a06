// The pages reach the edited control only late-bound, by member name, as any container's
// script would. Failures come back as Error with the control's error description.
#pragma once

#include <windows.h>

#include <oaidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "core/string_list.h"
#include "platform/winapi/oleauto.h"

namespace dovrin::pages {

class LateBound {
public:
    explicit LateBound(IDispatch* object) : object_(object) {}

    vantrel::Variant Get(const wchar_t* name, std::vector<VARIANT> args = {});
    void Put(const wchar_t* name, VARIANT value);
    vantrel::Variant Call(const wchar_t* name, std::vector<VARIANT> args = {});

    std::string Text(const wchar_t* name);
    long Long(const wchar_t* name);
    bool Bool(const wchar_t* name);
    Microsoft::WRL::ComPtr<IDispatch> Object(const wchar_t* name);
    void PutText(const wchar_t* name, const std::string& text);
    void PutLong(const wchar_t* name, long value);
    void PutBool(const wchar_t* name, bool value);

private:
    vantrel::Variant Invoke(const wchar_t* name, WORD flags, std::vector<VARIANT>& args);
    Microsoft::WRL::ComPtr<IDispatch> object_;
};

VARIANT TextArg(const std::string& text);
// The items of a list object: Item(0) to Item(Count - 1).
StringList ReadList(IDispatch* list);

}  // namespace dovrin::pages
