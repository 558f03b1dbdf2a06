// Self-registration of an in-process server with one class and its type library.
#pragma once

#include <windows.h>

namespace vantrel::com {

struct ClassInfo {
    const char* clsid;       // "{...}"
    const char* name;
    const char* prog_id;     // null: the class is created by its class id only
    const char* libid;
    REFGUID libid_guid;
    HMODULE module;
};

HRESULT RegisterClassServer(const ClassInfo& info);
HRESULT UnregisterClassServer(const ClassInfo& info);

}  // namespace vantrel::com
