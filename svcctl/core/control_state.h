// ControlStateStream: the byte form in which a container's form keeps the control's
// persisted properties. Little-endian throughout:
//   "VTCS", version (u16 = 1), width (i32), height (i32), then properties until a name
//   length of 0. A property is its name (u8 length, bytes; nested properties as
//   "LogonAs.UserName"), a kind byte and the value:
//     1 text: u32 length, bytes      2 integer: i32      3 boolean: u8 (0 or 1)
//     4 list: u32 count, then each text as in kind 1
// Integers of sets and enumerations are the automation (Windows) values. Unknown names are
// skipped by their kind, so older readers load newer streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dovrin {

enum class ValueKind : std::uint8_t { Text = 1, Integer = 2, Boolean = 3, List = 4 };

struct StateValue {
    std::string name;
    ValueKind kind = ValueKind::Integer;
    std::string text;
    std::int32_t integer = 0;  // also the boolean (0 or 1)
    std::vector<std::string> list;
};

struct ControlState {
    std::int32_t width = 28;
    std::int32_t height = 28;
    std::vector<StateValue> values;

    const StateValue* Find(const std::string& name) const;
};

std::vector<std::uint8_t> EncodeControlState(const ControlState& state);
// Raises Error ("Invalid control state stream: ...") on anything malformed or truncated.
ControlState DecodeControlState(const std::uint8_t* data, std::size_t size);

// The most bytes a stream may claim; a longer one is refused before it is read.
constexpr std::uint32_t kMaxControlState = 1u << 20;

}  // namespace dovrin
