// The password cipher: RC4 with one change in how a key-stream byte meets a text
// byte, so that the cipher text of a NUL-free text is NUL-free and one call both
// encrypts and decrypts. Stored passwords depend on every detail here.
#pragma once

#include <cstdint>
#include <string>

namespace vantrel::common {

// The fixed key of the stored SMTP password, the same in the service and the manager.
extern const char* const PasswordKey;

// b when a equals b, otherwise a XOR b.
int16_t mXor(int16_t a, int16_t b);

// Exchanges two values in place.
void Swap(int16_t& a, int16_t& b);

// The text through the cipher with the key; bytes are ANSI character codes. The key
// must not be empty (std::invalid_argument).
std::string RC4ED(const std::string& text, const std::string& key);

}  // namespace vantrel::common
