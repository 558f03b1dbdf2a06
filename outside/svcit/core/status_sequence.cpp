#include "core/status_sequence.h"

namespace svcit {

namespace {

// The wait hint of every pending state: the longest a start or stop may take.
constexpr uint32_t kWaitHintMs = 60000;

bool Pending(ServiceState s) { return s == ServiceState::StartPending || s == ServiceState::StopPending; }

}  // namespace

std::optional<StatusReport> StatusSequence::Enter(ServiceState state) {
    if (!registered_ || current_.state == ServiceState::Stopped) return std::nullopt;
    current_.state = state;
    current_.accepts_stop = state == ServiceState::Running;
    current_.wait_hint_ms = Pending(state) ? kWaitHintMs : 0;
    current_.check_point = Pending(state) ? current_.check_point + 1 : 0;
    return current_;
}

StatusReport StatusSequence::Starting() {
    registered_ = true;
    current_ = StatusReport{ServiceState::StartPending, false, 1, kWaitHintMs};
    return current_;
}

std::optional<StatusReport> StatusSequence::Started() { return Enter(ServiceState::Running); }
std::optional<StatusReport> StatusSequence::StopAsked() { return Enter(ServiceState::StopPending); }
// The Stop handler has run, but the program may still be finishing what it had begun (a
// handler the stop interrupted, mail still queued): it stays pending until it lets go.
std::optional<StatusReport> StatusSequence::StopHandled() { return std::nullopt; }

std::optional<StatusReport> StatusSequence::Tick() {
    if (!Pending(current_.state)) return std::nullopt;
    return Enter(current_.state);
}

std::optional<StatusReport> StatusSequence::Released() { return Enter(ServiceState::Stopped); }

}  // namespace svcit
