// The library's own texts of the network-management status codes 2102 to 2690.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dovrin {

struct NetErrorRow {
    std::uint32_t code;
    const char* text;
};

// The rows in ascending code order.
const NetErrorRow* NetErrorRows(std::size_t& count);

// The row's text for a code in the table (empty for a row without text); false when the
// code has no row.
bool NetErrorTableText(std::uint32_t code, std::string& text);

// NetErrorText with the system's text supplied by the caller: codes below 2100 and codes
// without a row take the system's message; a row without text gives "Unknown error".
std::string NetErrorTextWith(std::uint32_t code, std::string (*system_text)(std::uint32_t));

}  // namespace dovrin
