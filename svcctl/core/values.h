// Service-control values of the component and their conversions to the Windows values.
// Sets hold one bit per element, element i in bit (1 << i).
#pragma once

#include <cstdint>
#include <initializer_list>

namespace dovrin {

enum ManagerAccessElement : unsigned {
    M_CONNECT, M_CREATE_SERVICE, M_ENUMERATE_SERVICE, M_LOCK, M_QUERY_LOCK_STATUS,
    M_MODIFY_BOOT_CONFIG
};
enum ServiceAccessElement : unsigned {
    S_ALL_ACCESS, S_CHANGE_CONFIG, S_ENUMERATE_DEPENDENTS, S_INTERROGATE, S_PAUSE_CONTINUE,
    S_QUERY_CONFIG, S_QUERY_STATUS, S_START, S_STOP, S_USER_DEFINED_CONTROL, S_DELETE
};
enum StartType : unsigned { BOOT_START, SYSTEM_START, AUTO_START, DEMAND_START, DISABLED };
enum ErrorType : unsigned { ERROR_IGNORE, ERROR_NORMAL, ERROR_SEVERE, ERROR_CRITICAL };
enum ServiceTypeElement : unsigned {
    KERNEL_DRIVER, FILE_SYSTEM_DRIVER, ADAPTER, RECOGNIZER_DRIVER, WIN32_OWN_PROCESS,
    WIN32_SHARE_PROCESS, INTERACTIVE_PROCESS
};
enum ControlCode : unsigned {
    CONTROL_STOP, CONTROL_PAUSE, CONTROL_CONTINUE, CONTROL_INTERROGATE, CONTROL_SHUTDOWN
};
enum CurrentState : unsigned {
    STATE_STOPPED, STATE_START_PENDING, STATE_STOP_PENDING, STATE_RUNNING,
    STATE_CONTINUE_PENDING, STATE_PAUSE_PENDING, STATE_PAUSED
};
enum ControlAcceptedElement : unsigned { ACCEPT_STOP, ACCEPT_PAUSE_CONTINUE, ACCEPT_SHUTDOWN };
enum ServiceStateElement : unsigned { STATE_ACTIVE, STATE_INACTIVE };
enum EnumServicesElement : unsigned { ENUM_DRIVERS, ENUM_WIN32 };

// A small set of enumeration elements.
template <class E, class Bits>
class ElementSet {
public:
    constexpr ElementSet() = default;
    constexpr ElementSet(std::initializer_list<E> elements) {
        for (E e : elements) bits_ |= Bits(1u << unsigned(e));
    }
    static constexpr ElementSet FromBits(Bits b) { ElementSet s; s.bits_ = b; return s; }
    constexpr Bits bits() const { return bits_; }
    constexpr bool Has(E e) const { return (bits_ >> unsigned(e)) & 1u; }
    constexpr void Include(E e) { bits_ |= Bits(1u << unsigned(e)); }
    constexpr bool Empty() const { return bits_ == 0; }
    friend constexpr bool operator==(ElementSet a, ElementSet b) { return a.bits_ == b.bits_; }
    friend constexpr bool operator!=(ElementSet a, ElementSet b) { return a.bits_ != b.bits_; }

private:
    Bits bits_ = 0;
};

using ManagerAccess = ElementSet<ManagerAccessElement, std::uint8_t>;
using ServiceAccess = ElementSet<ServiceAccessElement, std::uint16_t>;
using ServiceTypes = ElementSet<ServiceTypeElement, std::uint8_t>;
using ControlsAccepted = ElementSet<ControlAcceptedElement, std::uint8_t>;
using ServiceStates = ElementSet<ServiceStateElement, std::uint8_t>;
using EnumServices = ElementSet<EnumServicesElement, std::uint8_t>;

constexpr std::uint32_t kAllServiceAccess = 0xF01FF;

std::uint32_t ManagerAccessToWin32(ManagerAccess s);
ManagerAccess Win32ToManagerAccess(std::uint32_t mask);
std::uint32_t ServiceAccessToWin32(ServiceAccess s);
ServiceAccess Win32ToServiceAccess(std::uint32_t mask);
std::uint32_t StartTypeToWin32(StartType t);
StartType Win32ToStartType(std::uint32_t v);
std::uint32_t ErrorTypeToWin32(ErrorType t);
ErrorType Win32ToErrorType(std::uint32_t v);
std::uint32_t ServiceTypesToWin32(ServiceTypes s);
ServiceTypes Win32ToServiceTypes(std::uint32_t bits);
std::uint32_t ControlCodeToWin32(unsigned ordinal);
CurrentState Win32ToCurrentState(std::uint32_t state);
std::uint32_t CurrentStateToWin32(unsigned ordinal);
std::uint32_t ControlsAcceptedToWin32(ControlsAccepted s);
ControlsAccepted Win32ToControlsAccepted(std::uint32_t bits);
ServiceStates ServiceStatesFromAutomation(std::uint32_t v);
EnumServices EnumServicesFromAutomation(std::uint32_t v);

// The Windows state and type filters of the enumerations.
std::uint32_t ServiceStatesToWin32(ServiceStates s);
std::uint32_t EnumServicesToWin32(EnumServices s);

}  // namespace dovrin
