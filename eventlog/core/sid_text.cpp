#include "sid_text.h"

#include <cstdio>

namespace lorvex {

size_t SidLength(const uint8_t* bytes, size_t size) {
    if (!bytes || size < 8 || bytes[0] != 1 || bytes[1] > 15) return 0;
    size_t length = 8 + 4 * size_t(bytes[1]);
    return length <= size ? length : 0;
}

std::string SidToText(const uint8_t* sid) {
    char buf[64];
    std::string text = "S-1-";
    const uint8_t* a = sid + 2;
    if (a[0] != 0 || a[1] != 0) {
        std::snprintf(buf, sizeof buf, "0x%02hx%02hx%02hx%02hx%02hx%02hx", (unsigned short)a[0],
                      (unsigned short)a[1], (unsigned short)a[2], (unsigned short)a[3], (unsigned short)a[4],
                      (unsigned short)a[5]);
    } else {
        unsigned long value = (unsigned long)a[2] << 24 | (unsigned long)a[3] << 16 | (unsigned long)a[4] << 8 | a[5];
        std::snprintf(buf, sizeof buf, "%lu", value);
    }
    text += buf;
    for (uint8_t i = 0; i < sid[1]; ++i) {
        const uint8_t* p = sid + 8 + 4 * i;
        unsigned long sub = (unsigned long)p[0] | (unsigned long)p[1] << 8 | (unsigned long)p[2] << 16 |
                            (unsigned long)p[3] << 24;
        std::snprintf(buf, sizeof buf, "-%lu", sub);
        text += buf;
    }
    return text;
}

}  // namespace lorvex
