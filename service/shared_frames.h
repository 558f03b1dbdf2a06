// The shared routines (settings, list files, cipher) as the service runs them: each in
// its own procedure frame, with its errors handed to the error trap.
#pragma once

namespace quenloc {

// Called once at program start, before any shared routine runs.
void InstallSharedRoutineFrames();

}  // namespace quenloc
