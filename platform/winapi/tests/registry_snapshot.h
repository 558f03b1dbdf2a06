// What regsvr32 and regsvr32 /u do to the registry, seen from outside: every key and value
// under HKLM\Software (HKCR's machine part included) and HKCU\Software\Classes.
#pragma once

#include <set>
#include <string>

namespace vantrel::test {

// One line per key ("K <path>") and per value ("V <path> | <name> | <type> | <data>"). The
// module's path and its folder read "<module>" and "<folder>", "win32" and "win64" read
// "<win>", and the 32-bit view (Wow6432Node) is left out, so that the lines hold wherever
// the build is and whichever platform it is built for.
using Snapshot = std::set<std::string>;
Snapshot TakeSnapshot(const std::string& module_path);

// regsvr32 /s [/u] on the module; its exit code.
unsigned long Regsvr32(const std::string& module_path, bool unregister);

// Checks, under gtest, that registration writes exactly the lines of `expected_file`
// (captured once from a known-good build) and that unregistration then leaves exactly
// what was there before. The module is left registered.
// With VANTREL_CAPTURE_REGISTRATION set, writes what registration wrote into that file
// instead of comparing it.
void ExpectExactRoundTrip(const std::string& module_path, const std::string& expected_file);

}  // namespace vantrel::test
