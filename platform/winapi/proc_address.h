// A function of a loaded module under its own type. GetProcAddress answers a generic
// FARPROC; converting that straight to another function type draws a warning, so the
// conversion goes through the type that stands for any function.
#pragma once

#include <windows.h>

#include <type_traits>

namespace vantrel {

template <class F>
F ProcAddress(HMODULE module, const char* name) {
    static_assert(std::is_pointer_v<F> && std::is_function_v<std::remove_pointer_t<F>>, "F is a function pointer");
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

}  // namespace vantrel
