#include "procedure_frame.h"

#include <atomic>

namespace vantrel::common {

namespace {
std::atomic<FrameRunner> g_runner{nullptr};
}

void SetFrameRunner(FrameRunner runner) { g_runner.store(runner); }

void InFrame(const trace::Names& names, const std::function<void()>& body) {
    if (FrameRunner runner = g_runner.load()) {
        runner(names, body);
    } else {
        body();
    }
}

}  // namespace vantrel::common
