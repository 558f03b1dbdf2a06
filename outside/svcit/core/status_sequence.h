// What the service-host control tells the Service Control Manager, in order: the state,
// the controls it accepts, the checkpoint and the wait hint. Plain C++, so that the order
// of states can be checked without an SCM.
#pragma once

#include <cstdint>
#include <optional>

namespace svcit {

// The SCM's state numbers (SERVICE_STOPPED and the rest).
enum class ServiceState : uint32_t { Stopped = 1, StartPending = 2, StopPending = 3, Running = 4 };

struct StatusReport {
    ServiceState state = ServiceState::Stopped;
    bool accepts_stop = false;  // stop and shutdown
    uint32_t check_point = 0;
    uint32_t wait_hint_ms = 0;
};

class StatusSequence {
public:
    // Every step returns the report to send, or nothing when the SCM is not to hear it.
    StatusReport Starting();                  // the SCM asked for a start
    std::optional<StatusReport> Started();    // the program's Start handler returned
    std::optional<StatusReport> StopAsked();  // a stop or shutdown request arrived
    std::optional<StatusReport> StopHandled();  // the program's Stop handler returned
    std::optional<StatusReport> Tick();       // the program's thread is still working
    std::optional<StatusReport> Released();   // the program let go of the control

    const StatusReport& current() const { return current_; }

private:
    std::optional<StatusReport> Enter(ServiceState state);

    StatusReport current_;
    bool registered_ = false;
};

}  // namespace svcit
