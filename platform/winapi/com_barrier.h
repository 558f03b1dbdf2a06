// The barrier between COM and our C++: every method that COM calls runs its body through
// Barrier, so no C++ exception unwinds into the caller (that would end the host process
// in std::terminate). std::bad_alloc becomes E_OUTOFMEMORY, any other exception E_FAIL,
// each with error information of its own, unless the class reports them its own way.
#pragma once

#include <windows.h>

#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace vantrel::com {

// Sets the thread's error information to a plain text for a status that an exception
// became: "Out of memory" or "Unexpected failure". Without it the caller would read
// whatever an earlier failure left there.
void ReportCaughtFailure(HRESULT status) noexcept;

// Runs body (returning an HRESULT or nothing, which means S_OK). On an exception,
// fail(status) may report it in the class's own way, over the plain text, and returns
// the final status.
template <class Body, class Fail>
HRESULT Barrier(Body&& body, Fail&& fail) noexcept {
    HRESULT status;
    try {
        if constexpr (std::is_void_v<decltype(body())>) {
            body();
            return S_OK;
        } else {
            return body();
        }
    } catch (const std::bad_alloc&) {
        status = E_OUTOFMEMORY;
    } catch (...) {
        status = E_FAIL;
    }
    ReportCaughtFailure(status);
    try {
        return fail(status);
    } catch (...) {
        return status;
    }
}

template <class Body>
HRESULT Barrier(Body&& body) noexcept {
    return Barrier(std::forward<Body>(body), [](HRESULT status) { return status; });
}

// A test makes the named allocation fail as if memory had run out; null clears it.
void FailAllocationForTest(const char* what);
bool AllocationFailsForTest(const char* what);

// Sizes a buffer; false when memory ran out (or a test made this allocation fail).
template <class T>
bool TryResize(std::vector<T>& buffer, size_t count, const char* what) noexcept {
    if (AllocationFailsForTest(what)) return false;
    try {
        buffer.resize(count);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace vantrel::com
