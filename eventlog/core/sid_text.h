// The textual form of a security identifier, for accounts the computer cannot name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lorvex {

// Length of a structurally valid SID held in bytes[0..size), or 0 when the bytes are no
// SID (revision 1, at most 15 sub-authorities, all of it inside size).
size_t SidLength(const uint8_t* bytes, size_t size);

// "S-1-<authority>-<sub>-<sub>...". The authority is written in hexadecimal
// ("0x" and six two-digit bytes) when either of its first two bytes is set, else as the
// big-endian decimal value of its last four bytes. bytes must hold a valid SID.
std::string SidToText(const uint8_t* bytes);

}  // namespace lorvex
