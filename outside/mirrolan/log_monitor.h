// The Mirrolan class: follows one event log through Lorvex's change events and raises
// NewLogEntry for every new entry, on the thread that created it.
#pragma once

#include <windows.h>

namespace mirrolan {

HRESULT CreateLogMonitor(REFIID riid, void** ppv);

}  // namespace mirrolan
