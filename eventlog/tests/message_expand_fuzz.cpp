// Fuzzes the insertion rules: any message and insertion strings must expand or fail
// cleanly, within the limits.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/message_expand.h"
#include "core/raw_record.h"

namespace {
struct EchoParams : lorvex::ParameterSource {
    int32_t Lookup(uint32_t n, std::string* text) override {
        if (n % 3 == 0) return lorvex::kStatusFailed;
        *text = std::string(n % 50, 'p');
        return lorvex::kStatusOk;
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The same bytes as a raw record: decoding must never read outside them.
    lorvex::RawRecord record;
    lorvex::ParseRawRecord(data, size, &record);

    std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> parts;
    size_t start = 0, bar;
    while ((bar = input.find('|', start)) != std::string::npos) {
        parts.push_back(input.substr(start, bar - start));
        start = bar + 1;
    }
    parts.push_back(input.substr(start));
    std::string message = parts.front();
    parts.erase(parts.begin());
    EchoParams params;
    auto strings = lorvex::ExpandInsertionStrings(parts, params);
    for (const auto& s : strings)
        if (s.size() > lorvex::kMaxInsertionLength) __builtin_trap();
    auto result = lorvex::ExpandMessage(message, strings, params);
    if (result.text.size() > lorvex::kMaxMessageLength) __builtin_trap();
    return 0;
}
