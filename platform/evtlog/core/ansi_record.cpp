#include "platform/evtlog/core/ansi_record.h"

#include <cstring>

namespace vantrel::evt {
namespace {

bool AppendText(const U16Span& s, const AnsiConverter& c, std::string& out) {
    bool ascii = true;
    for (size_t i = 0; i < s.units && ascii; ++i) ascii = s.at(i) < 0x80;
    if (ascii) {
        size_t at = out.size();
        out.resize(at + s.units);
        for (size_t i = 0; i < s.units; ++i) out[at + i] = char(s.p[2 * i]);
    } else if (c.convert) {
        std::u16string wide(s.units, u'\0');
        for (size_t i = 0; i < s.units; ++i) wide[i] = s.at(i);
        if (!c.convert(c.context, wide.data(), wide.size(), out)) return false;
    } else {
        for (size_t i = 0; i < s.units; ++i) out.push_back(s.at(i) < 0x80 ? char(s.at(i)) : '?');
    }
    out.push_back('\0');
    return true;
}

void Set32(std::string& out, size_t at, uint32_t v) {
    Put32(reinterpret_cast<uint8_t*>(&out[at]), v);
}

}  // namespace

bool AppendAnsiRecord(const RecordView& v, const RecordTexts& t, const AnsiConverter& c,
                      std::string& out) {
    const size_t base = out.size();
    // The fixed part is the stored one; offsets and length are rewritten below.
    out.append(reinterpret_cast<const char*>(v.bytes), kRecordFixedSize);
    if (!AppendText(t.source, c, out) || !AppendText(t.computer, c, out)) return false;
    // The SID on a 4-byte boundary after 1 to 4 zero bytes, as the NT 5 family's ANSI read
    // hands records out; the stored form keeps it straight after the computer name.
    out.append(4 - (out.size() - base) % 4, '\0');
    const size_t sidOffset = out.size() - base;
    if (v.sidLength) out.append(reinterpret_cast<const char*>(v.bytes + v.sidOffset), v.sidLength);
    const size_t stringOffset = out.size() - base;
    for (const auto& s : t.strings)
        if (!AppendText(s, c, out)) return false;
    const size_t dataOffset = out.size() - base;
    if (v.dataLength) out.append(reinterpret_cast<const char*>(v.bytes + v.dataOffset), v.dataLength);
    // 1 to 4 bytes of padding, as in the stored form.
    out.append(4 - (out.size() - base) % 4, '\0');
    const size_t length = out.size() - base + 4;
    if (length > 0xFFFFFFF0u) return false;
    out.append(4, '\0');
    Set32(out, base + 0, uint32_t(length));
    Set32(out, base + 36, uint32_t(stringOffset));
    Set32(out, base + 44, uint32_t(sidOffset));
    Set32(out, base + 52, uint32_t(dataOffset));
    Set32(out, base + length - 4, uint32_t(length));
    return true;
}

}  // namespace vantrel::evt
