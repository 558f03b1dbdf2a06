// A Windows service as the provider's "service" object.
#pragma once

#include <windows.h>

#include <ole2.h>
#include <iads.h>

#include <string>

namespace vantrel::adsi {

// The service object for a service of this computer; fails when no such service exists.
HRESULT CreateServiceObject(const std::wstring& computer, const std::wstring& name, IDispatch** object);

}  // namespace vantrel::adsi
