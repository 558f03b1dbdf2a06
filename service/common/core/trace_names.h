// Module and procedure texts under which the service traces the shared routines (the
// manager runs them without a frame).
#pragma once

namespace vantrel::common::trace {

struct Names {
    const char* module;
    const char* procedure;
};

constexpr Names kGetKeyValue{"RegFunctions", "Function GetKeyValue"};
constexpr Names kLoadAddressesFromFile{"modVantrel", "Sub LoadAddressesFromFile"};
constexpr Names kGetAddressesFromFile{"modVantrel", "Function GetAddressesFromFile"};
constexpr Names kOpenFileRead{"modVantrel", "Function OpenFileRead"};
constexpr Names kCloseFile{"modVantrel", "Sub CloseFile"};
constexpr Names kParseString{"modVantrel", "Function ParseString"};
constexpr Names kRC4ED{"ENCRYPTION", "Function RC4ED"};
constexpr Names kMXor{"ENCRYPTION", "Function mXor"};
constexpr Names kSwap{"ENCRYPTION", "Sub Swap"};

}  // namespace vantrel::common::trace
