// The message-file list of an event source, as the registry value holds it.
#pragma once

#include <string>
#include <vector>

namespace lorvex {

// Splits at every ';'. Empty entries count: "x.dll;" is two paths, the second empty.
std::vector<std::string> SplitFileList(const std::string& value);

// A local path as a remote computer's administrative share shows it: "X:rest" becomes
// "\\M\X$rest", a path that begins with exactly "%SystemRoot%" becomes "\\M\admin$" and
// the rest; any other path stays as it is.
std::string RemotePath(const std::string& path, const std::string& computer);

}  // namespace lorvex
