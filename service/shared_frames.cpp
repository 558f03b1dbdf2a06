#include "shared_frames.h"

#include "com_support.h"
#include "core/procedure_frame.h"
#include "hollin.h"

namespace quenloc {

namespace {

void RunInFrame(const vantrel::common::trace::Names& names, const std::function<void()>& body) {
    trap::Frame frame(names.module, names.procedure);
    frame.Run([&] { frame.Do([&] { Translate(body); }); });
}

}  // namespace

void InstallSharedRoutineFrames() { vantrel::common::SetFrameRunner(&RunInFrame); }

}  // namespace quenloc
