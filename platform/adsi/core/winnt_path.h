// Names of the "WinNT:" directory namespace as our substitute provider understands them,
// and the provider's service status numbers. Plain C++: also built and tested on the host.
#pragma once

#include <optional>
#include <string>

namespace vantrel::adsi {

// The provider's name: the part of a path before the colon.
constexpr const wchar_t* kProviderName = L"WinNT";

// A path that names a computer: "WinNT://<computer>" or "WinNT://<computer>,Computer",
// the provider name and the class in any letter case. Anything else (another provider,
// deeper paths, other classes, an empty name) gives nothing.
std::optional<std::wstring> ParseComputerPath(const std::wstring& path);

// Computer and account names compare without regard to case.
bool SameName(const std::wstring& a, const std::wstring& b);

// ADsPath texts of the objects the provider hands out.
std::wstring ComputerPath(const std::wstring& computer);
std::wstring ServicePath(const std::wstring& computer, const std::wstring& service);

// The service object's Status number for a service state of the service control
// manager: 1 stopped, 2 start pending, 3 stop pending, 4 running, 5 continue pending,
// 6 pause pending, 7 paused, and 8 (error) for a state the manager should never report.
long ServiceStatusFromState(unsigned long state);

}  // namespace vantrel::adsi
