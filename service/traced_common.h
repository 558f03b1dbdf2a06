// The shared routines as the service calls them: each in its own procedure frame, with
// the routines' errors handed to the trap.
#pragma once

#include <string>
#include <vector>

namespace quenloc {

// GetKeyValue under the settings key of HKEY_LOCAL_MACHINE.
bool TracedGetKeyValue(const std::string& value_name, std::string& out);
void TracedLoadAddressesFromFile(std::vector<std::string>& list, const std::string& path);
std::string TracedGetAddressesFromFile(const std::string& path, std::string& user_name);
std::string TracedRC4ED(const std::string& text, const std::string& key);

}  // namespace quenloc
