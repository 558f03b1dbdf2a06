// Runs a piece of code that may fault inside a system call (FormatMessageA over a
// message file it cannot trust) and turns a processor fault into a failure.
// MinGW's GCC has no __try/__except, so a vectored exception handler redirects the
// faulting thread back to the guard's frame.
#pragma once

namespace vantrel {

// Calls body(context). Returns true when it returned, false when a fault (access
// violation and the like) ended it; the thread then continues after the call.
// Whatever body allocated before the fault is lost: keep such bodies to one system call.
bool RunGuarded(void (*body)(void*), void* context);

template <class F>
bool RunGuarded(F& f) {
    return RunGuarded([](void* c) { (*static_cast<F*>(c))(); }, &f);
}

}  // namespace vantrel
