// How the library's classes are registered: each under "Lorvex.<name>" with ".1" beside it,
// described as "<name> Class", programmable and with an AppID for the system's surrogate.
#pragma once

#include <string>

#include "platform/winapi/core/class_entries.h"

namespace lorvex {

// The entries of the coclass `name` (as the type library names it).
vantrel::com::ClassRegistration ClassRegistrationOf(const std::string& name, const std::string& clsid,
                                                    const std::string& type_lib);

}  // namespace lorvex
