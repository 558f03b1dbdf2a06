// The procedure frame around the shared routines. The service installs a runner that
// traces each routine and hands its errors to the error trap; the manager installs none,
// so there the routines run bare and their errors go to the caller.
#pragma once

#include <functional>

#include "trace_names.h"

namespace vantrel::common {

// Runs a routine's body inside its frame. The runner takes over the body's errors: when
// it returns without the body having finished, the routine returns what it has so far.
using FrameRunner = void (*)(const trace::Names& names, const std::function<void()>& body);

// Installed once, at program start, before any shared routine runs; nullptr runs bare.
void SetFrameRunner(FrameRunner runner);

void InFrame(const trace::Names& names, const std::function<void()>& body);

}  // namespace vantrel::common
