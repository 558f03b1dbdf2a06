#include "cipher.h"

#include <stdexcept>

#include "procedure_frame.h"

namespace vantrel::common {

const char* const PasswordKey = "ZUM485WINTERBROOKWINTERBROOKMAPLETHORN7305918264351";

int16_t mXor(int16_t a, int16_t b) {
    int16_t result = 0;
    InFrame(trace::kMXor, [&] { result = a == b ? b : static_cast<int16_t>(a ^ b); });
    return result;
}

void Swap(int16_t& a, int16_t& b) {
    InFrame(trace::kSwap, [&] {
        int16_t t = a;
        a = b;
        b = t;
    });
}

namespace {

std::string Cipher(const std::string& text, const std::string& key) {
    if (key.empty()) throw std::invalid_argument("RC4ED: empty key");
    int16_t s[256];
    int16_t k[256];
    for (int n = 0; n < 256; ++n) {
        s[n] = static_cast<int16_t>(n);
        k[n] = static_cast<unsigned char>(key[static_cast<size_t>(n) % key.size()]);
    }
    int j = 0;
    for (int n = 0; n < 256; ++n) {
        j = (j + s[n] + k[n]) & 255;
        Swap(s[n], s[j]);
    }
    int i = 0;
    j = 0;
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        i = (i + 1) & 255;
        j = (j + s[i]) & 255;
        Swap(s[i], s[j]);
        int t = (s[i] + s[j]) & 255;
        out.push_back(static_cast<char>(mXor(s[t], static_cast<int16_t>(c)) & 255));
    }
    return out;
}

}  // namespace

std::string RC4ED(const std::string& text, const std::string& key) {
    std::string out;
    InFrame(trace::kRC4ED, [&] { out = Cipher(text, key); });
    return out;
}

}  // namespace vantrel::common
