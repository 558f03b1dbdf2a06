#include "message_expand.h"

namespace lorvex {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The run of digits at pos: its length (0 when none) and its value, read into 32 bits.
size_t Digits(std::string_view s, size_t pos, uint32_t* value) {
    size_t n = 0;
    uint32_t v = 0;
    while (pos + n < s.size() && IsDigit(s[pos + n])) {
        v = v * 10u + static_cast<uint32_t>(s[pos + n] - '0');
        ++n;
    }
    *value = v;
    return n;
}

// Number of '%' at pos followed directly by digits, when that count is exactly want.
bool PercentsThenDigits(std::string_view s, size_t pos, size_t want, uint32_t* value, size_t* used) {
    if (pos + want > s.size()) return false;
    for (size_t i = 0; i < want; ++i)
        if (s[pos + i] != '%') return false;
    size_t digits = Digits(s, pos + want, value);
    if (digits == 0) return false;
    *used = want + digits;
    return true;
}

bool AllDigits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!IsDigit(c)) return false;
    return true;
}

}  // namespace

std::vector<std::string> ExpandInsertionStrings(const std::vector<std::string>& strings, ParameterSource& params) {
    std::vector<std::string> expanded;
    expanded.reserve(strings.size());
    for (const std::string& original : strings) {
        std::string_view s = original;
        std::string out;
        size_t pos = 0;
        while (pos < s.size()) {
            std::string piece;
            uint32_t number = 0;
            size_t used = 0;
            if (PercentsThenDigits(s, pos, 2, &number, &used)) {
                if (params.Lookup(number, &piece) != kStatusOk) piece.assign(s.substr(pos, used));
            } else {
                piece.assign(1, s[pos]);
                used = 1;
            }
            if (out.size() + piece.size() > kMaxInsertionLength) break;
            out += piece;
            pos += used;
        }
        expanded.push_back(std::move(out));
    }
    return expanded;
}

ExpandResult ExpandMessage(std::string_view message, const std::vector<std::string>& strings,
                           ParameterSource& params) {
    ExpandResult result;
    auto fail = [&](int32_t status, const char* text) {
        result.status = status;
        result.error_text = text;
        result.text.clear();
        return result;
    };
    auto insertion = [&](uint32_t n) -> const std::string* {
        return (n == 0 || n > strings.size()) ? nullptr : &strings[n - 1];
    };

    size_t pos = 0;
    while (pos < message.size()) {
        std::string piece;
        uint32_t number = 0;
        size_t used = 0;
        if (PercentsThenDigits(message, pos, 1, &number, &used)) {
            const std::string* s = insertion(number);
            if (!s) return fail(kStatusFailed, "No such insertion string");
            piece = *s;
        } else if (PercentsThenDigits(message, pos, 2, &number, &used)) {
            int32_t status = params.Lookup(number, &piece);
            if (status != kStatusOk) return fail(status, nullptr);
        } else if (PercentsThenDigits(message, pos, 3, &number, &used)) {
            const std::string* s = insertion(number);
            if (!s) return fail(kStatusFailed, "No such insertion string");
            if (!AllDigits(*s)) return fail(kStatusFailed, "Expected numeric insertion string value");
            uint32_t parameter = 0;
            Digits(*s, 0, &parameter);
            int32_t status = params.Lookup(parameter, &piece);
            if (status != kStatusOk) return fail(status, nullptr);
        } else {
            piece.assign(1, message[pos]);
            used = 1;
        }
        if (result.text.size() + piece.size() > kMaxMessageLength)
            return fail(kStatusOutOfMemory, "String buffer too short");
        result.text += piece;
        pos += used;
    }
    return result;
}

}  // namespace lorvex
