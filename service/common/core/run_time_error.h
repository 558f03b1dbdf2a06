// A run-time error: a number in the run time's numbering (53 file not found, 75 path/file
// access error, 6 overflow...) and a readable description. The shared routines throw it
// to their caller's error handling; the service's error trap reports it. No Windows
// headers: the portable cores and their host tests use it too.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace vantrel::common {

// `source` names the project that raised the error; empty means this program itself.
// `line` is the failing statement's line number, 0 where there is none.
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

constexpr int kErrOverflow = 6;
constexpr int kErrFileNotFound = 53;
constexpr int kErrInputPastEnd = 62;
constexpr int kErrFileAccess = 75;
constexpr int kErrPathNotFound = 76;

}  // namespace vantrel::common
