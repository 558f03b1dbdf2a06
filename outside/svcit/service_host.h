// The SvcIt control: runs the service dispatcher of its process on a thread of its own
// and turns the Service Control Manager's requests into Start and Stop events on the
// thread that created it (which must pump messages). The service stays STOP_PENDING after
// the Stop event until the program releases the control, so a start that follows never
// runs beside the old process.
#pragma once

#include <windows.h>

namespace svcit {

HRESULT CreateServiceHost(REFIID riid, void** ppv);

}  // namespace svcit
