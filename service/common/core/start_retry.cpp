#include "start_retry.h"

namespace vantrel::common {

namespace {

// The platform's codes for a start that another try would not mend.
bool Lasting(unsigned long code) {
    switch (code) {
    case 2:    // ERROR_FILE_NOT_FOUND
    case 3:    // ERROR_PATH_NOT_FOUND
    case 5:    // ERROR_ACCESS_DENIED
    case 193:  // ERROR_BAD_EXE_FORMAT
        return true;
    default:
        return false;
    }
}

}  // namespace

unsigned long StartWithRetries(const std::function<unsigned long()>& attempt,
                               const std::function<void(unsigned)>& pause) {
    unsigned long code = attempt();
    for (int tried = 1; code != 0 && !Lasting(code) && tried < kStartAttempts; ++tried) {
        pause(kStartPausesMs[tried - 1]);
        code = attempt();
    }
    return code;
}

}  // namespace vantrel::common
