#include "core/values.h"

namespace dovrin {
namespace {

constexpr std::uint32_t kServiceAccessBits[] = {
    kAllServiceAccess, 0x2, 0x8, 0x80, 0x40, 0x1, 0x4, 0x10, 0x20, 0x100, 0x10000};
constexpr std::uint32_t kServiceTypeBits[] = {0x1, 0x2, 0x4, 0x8, 0x10, 0x20, 0x100};

}  // namespace

std::uint32_t ManagerAccessToWin32(ManagerAccess s) { return s.bits() & 0x3F; }

ManagerAccess Win32ToManagerAccess(std::uint32_t mask) {
    return ManagerAccess::FromBits(std::uint8_t(mask & 0x3F));
}

std::uint32_t ServiceAccessToWin32(ServiceAccess s) {
    if (s.Has(S_ALL_ACCESS)) return kAllServiceAccess;
    std::uint32_t mask = 0;
    for (unsigned i = 1; i <= S_DELETE; ++i)
        if (s.Has(ServiceAccessElement(i))) mask |= kServiceAccessBits[i];
    return mask;
}

ServiceAccess Win32ToServiceAccess(std::uint32_t mask) {
    ServiceAccess s;
    if ((mask & kAllServiceAccess) == kAllServiceAccess) s.Include(S_ALL_ACCESS);
    for (unsigned i = 1; i <= S_DELETE; ++i)
        if (mask & kServiceAccessBits[i]) s.Include(ServiceAccessElement(i));
    return s;
}

std::uint32_t StartTypeToWin32(StartType t) { return t <= DISABLED ? std::uint32_t(t) : 0; }
StartType Win32ToStartType(std::uint32_t v) { return v <= 3 ? StartType(v) : DISABLED; }
std::uint32_t ErrorTypeToWin32(ErrorType t) { return t <= ERROR_CRITICAL ? std::uint32_t(t) : 0; }
ErrorType Win32ToErrorType(std::uint32_t v) { return v <= 3 ? ErrorType(v) : ERROR_NORMAL; }

std::uint32_t ServiceTypesToWin32(ServiceTypes s) {
    std::uint32_t bits = 0;
    for (unsigned i = 0; i <= INTERACTIVE_PROCESS; ++i)
        if (s.Has(ServiceTypeElement(i))) bits |= kServiceTypeBits[i];
    return bits;
}

ServiceTypes Win32ToServiceTypes(std::uint32_t bits) {
    ServiceTypes s;
    for (unsigned i = 0; i <= INTERACTIVE_PROCESS; ++i)
        if (bits & kServiceTypeBits[i]) s.Include(ServiceTypeElement(i));
    return s;
}

std::uint32_t ControlCodeToWin32(unsigned ordinal) {
    return ordinal <= CONTROL_SHUTDOWN ? ordinal + 1 : 0;
}

CurrentState Win32ToCurrentState(std::uint32_t state) {
    return state >= 1 && state <= 7 ? CurrentState(state - 1) : STATE_STOPPED;
}

std::uint32_t CurrentStateToWin32(unsigned ordinal) { return ordinal <= 6 ? ordinal + 1 : 1; }

std::uint32_t ControlsAcceptedToWin32(ControlsAccepted s) { return s.bits() & 0x7; }
ControlsAccepted Win32ToControlsAccepted(std::uint32_t bits) {
    return ControlsAccepted::FromBits(std::uint8_t(bits & 0x7));
}

ServiceStates ServiceStatesFromAutomation(std::uint32_t v) {
    return ServiceStates::FromBits(std::uint8_t(v & 0x3));
}

EnumServices EnumServicesFromAutomation(std::uint32_t v) {
    EnumServices s;
    if ((v & 0x0B) == 0x0B) s.Include(ENUM_DRIVERS);
    if ((v & 0x30) == 0x30) s.Include(ENUM_WIN32);
    return s;
}

std::uint32_t ServiceStatesToWin32(ServiceStates s) {
    return (s.Has(STATE_ACTIVE) ? 1u : 0u) + (s.Has(STATE_INACTIVE) ? 2u : 0u);
}

std::uint32_t EnumServicesToWin32(EnumServices s) {
    return (s.Has(ENUM_DRIVERS) ? 0x0Bu : 0u) + (s.Has(ENUM_WIN32) ? 0x30u : 0u);
}

}  // namespace dovrin
