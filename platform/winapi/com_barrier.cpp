#include "platform/winapi/com_barrier.h"

#include <cstring>

#include "platform/winapi/com_server.h"

namespace vantrel::com {
namespace {
const char* g_failing = nullptr;
}

void ReportCaughtFailure(HRESULT status) noexcept {
    SetErrorInfo(nullptr, status == E_OUTOFMEMORY ? L"Out of memory" : L"Unexpected failure");
}

void FailAllocationForTest(const char* what) { g_failing = what; }

bool AllocationFailsForTest(const char* what) {
    const char* failing = g_failing;
    return failing && what && std::strcmp(failing, what) == 0;
}

}  // namespace vantrel::com
