// A failure that the shared routines hand to their caller's error handling: a number in
// the run time's numbering (53 file not found, 75 path/file access error, 6 overflow...)
// and a readable description. The service's procedure frame passes both to the error trap.
#pragma once

#include <stdexcept>
#include <string>

namespace vantrel::common {

class RunTimeError : public std::runtime_error {
public:
    RunTimeError(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    int number() const { return number_; }

private:
    int number_;
};

constexpr int kErrOverflow = 6;
constexpr int kErrFileNotFound = 53;
constexpr int kErrInputPastEnd = 62;
constexpr int kErrFileAccess = 75;
constexpr int kErrPathNotFound = 76;

}  // namespace vantrel::common
