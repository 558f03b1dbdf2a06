// The source name a program reports under when it names none: its file name without
// the extension.
#pragma once

#include <string>

namespace lorvex {

// 'C:\Tools\Monitor.exe' gives 'Monitor'. A path with no '.' after its first character
// is taken whole; a '.' with no '\' before it keeps the path up to the '.'.
std::string DefaultSourceName(const std::string& module_path);

}  // namespace lorvex
