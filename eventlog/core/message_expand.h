// The event log's insertion rules, applied to a message text that a message file gave:
// %n inserts insertion string n, %%n parameter message n, and %%%n the parameter
// message whose number insertion string n holds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lorvex {

constexpr int32_t kStatusOk = 0;
constexpr int32_t kStatusFailed = static_cast<int32_t>(0x80004005);       // E_FAIL
constexpr int32_t kStatusOutOfMemory = static_cast<int32_t>(0x8007000E);  // E_OUTOFMEMORY

constexpr size_t kMaxInsertionLength = 1023;
constexpr size_t kMaxMessageLength = 4095;

// Gives parameter messages. A failing lookup returns its status and has reported its own
// error already.
class ParameterSource {
public:
    virtual ~ParameterSource() = default;
    virtual int32_t Lookup(uint32_t number, std::string* text) = 0;
};

// Each insertion string with its %%n sequences replaced by parameter messages, at most
// kMaxInsertionLength characters. A sequence whose lookup fails stays as it is; a piece
// that would pass the limit ends the copy before it.
std::vector<std::string> ExpandInsertionStrings(const std::vector<std::string>& strings, ParameterSource& params);

struct ExpandResult {
    int32_t status = kStatusOk;
    // The fixed text of a failure found here; null when the failing lookup reported its own.
    const char* error_text = nullptr;
    std::string text;
};

// The message with every insertion made. Fails rather than truncates when the result
// would pass kMaxMessageLength characters.
ExpandResult ExpandMessage(std::string_view message, const std::vector<std::string>& strings, ParameterSource& params);

}  // namespace lorvex
