// The service's state as the directory provider reports it, and the timed wait that lets
// window messages through.
#pragma once

#include <stdexcept>
#include <string>

#include <windows.h>

#include <oaidl.h>

#include "platform/winapi/late_bound.h"

namespace vantrel::manager {

// A failure the manager reports by its number and description.
class ManagerError : public std::runtime_error {
public:
    ManagerError(HRESULT hr, const std::string& description) : std::runtime_error(description), hr_(hr) {}
    HRESULT hr() const { return hr_; }

private:
    HRESULT hr_;
};

// The system's text for a status ("Automation error" when it has none).
std::string SystemText(HRESULT hr);
// The failing object's own description when it set one, else the system's text.
std::string ErrorDescription(HRESULT hr);

// The failure of a late-bound call: the object's own number and description when it
// raised one, else the status and the system's text.
ManagerError CallFailure(const vantrel::com::CallOutcome& outcome);

// The "Status" number of the service object: WinNTSystemInfo's ComputerName, the container
// "WinNT://<computer>,Computer", its GetObject("service", name), the object's Status read
// late bound. Throws ManagerError when any step fails.
long QueryServiceStatusNumber(const std::string& service_name);

// Waits the seconds while pending window messages are handled. Measured on a monotonic
// clock, so a wait over midnight is as long as any other. A WM_QUIT ends the wait and is
// posted again for the main loop.
void PumpingSleep(int seconds);

// "Run-time error '<number>': <description>": how failures that end the manager are named.
// The number is decimal; a status (negative) is followed by its hexadecimal form.
std::string RunTimeErrorText(long number, const std::string& description);
std::string ErrorMessage(const ManagerError& e);

}  // namespace vantrel::manager
