// The library's two kinds of failure. A ComponentError carries the status that automation
// callers see (0x800407D0); any other Error reaches them as an unexpected failure.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace dovrin {

constexpr std::uint32_t kComponentErrorStatus = 0x800407D0u;  // object-error base + 2000
constexpr std::uint32_t kUnexpectedStatus = 0x8000FFFFu;

// A plain error of the framework: a missing entry point, a bad list index.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& text) : std::runtime_error(text) {}
};

// Every failure that the library itself reports: system failures and refused setters.
class ComponentError : public Error {
public:
    explicit ComponentError(const std::string& text) : Error(text) {}
    std::uint32_t Status() const { return kComponentErrorStatus; }
    std::uint32_t HelpContext() const { return 0; }
};

// "List index out of bounds (%d)".
class ListError : public Error {
public:
    explicit ListError(long index);
};

// The status an automation member returns for a caught failure.
std::uint32_t StatusOf(const std::exception& e);

// The decimal code, ": " and the text.
std::string ComposeErrorMessage(std::int64_t code, const std::string& text);

}  // namespace dovrin
