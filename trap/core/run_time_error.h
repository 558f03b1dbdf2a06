// The run-time error of the service: what an error tail sees of a failure. No Windows
// headers: the trap's portable core and its host tests use it too.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

namespace trap {

// A pending run-time error. `source` names the project that raised it; empty means this
// program itself. `line` is the failing statement's line number, 0 where there is none.
struct RunTimeError : std::exception {
    int32_t number = 0;
    std::string source;
    std::string description;
    std::string help_file;
    int32_t help_context = 0;
    int32_t line = 0;

    RunTimeError() = default;
    explicit RunTimeError(int32_t n, std::string desc = {}, std::string src = {})
        : number(n), source(std::move(src)), description(std::move(desc)) {}
    const char* what() const noexcept override { return description.c_str(); }
};

// Raises a run-time error; the description defaults to the standard text of the number.
[[noreturn]] void Raise(int32_t number, std::string description = {}, std::string source = {});

// Inside a catch block: the exception being handled as a run-time error. Errors of the
// standard library map to the run-time numbers a caller would expect (out of memory 7,
// subscript out of range 9, overflow 6); anything else is internal error 51.
RunTimeError CurrentRunTimeError();

// The answer of the error entry: empty, or a 16-bit value (1 retry, 2 next statement,
// anything else leave the procedure).
using Answer = std::optional<int16_t>;

}  // namespace trap
