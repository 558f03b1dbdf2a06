#include "platform/winapi/com_barrier.h"

#include <cstring>

namespace vantrel::com {
namespace {
const char* g_failing = nullptr;
}

void FailAllocationForTest(const char* what) { g_failing = what; }

bool AllocationFailsForTest(const char* what) {
    const char* failing = g_failing;
    return failing && what && std::strcmp(failing, what) == 0;
}

}  // namespace vantrel::com
