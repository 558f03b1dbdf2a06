// Raising and catching the service's run-time error: what an error tail sees of a
// failure. No Windows headers: the trap's portable core and its host tests use it too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/run_time_error.h"

namespace trap {

// A pending run-time error, the one the shared routines throw.
using RunTimeError = vantrel::common::RunTimeError;

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
