#include "platform/evtlog/core/evt_listing.h"

#include <cstdio>

namespace vantrel::evt {

std::string Utf8(const std::u16string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | c >> 6));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | c >> 12));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xF0 | c >> 18));
            out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

namespace {

std::string Time(uint32_t t) {
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // Civil date from days since 1970 (proleptic Gregorian), without the C library's
    // time zone machinery.
    int64_t days = t / 86400, secs = t % 86400;
    int64_t z = days + 719468, era = z / 146097, doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
    int64_t day = doy - (153 * mp + 2) / 5 + 1, month = mp < 10 ? mp + 3 : mp - 9;
    int64_t year = yoe + era * 400 + (month <= 2);
    char b[64];
    std::snprintf(b, sizeof b, "%s %02d, %04d %02d:%02d:%02d UTC", months[month - 1], int(day),
                  int(year), int(secs / 3600), int(secs / 60 % 60), int(secs % 60));
    return b;
}

std::string TypeText(uint16_t t) {
    const char* name = "Unknown";
    switch (t) {
        case 0: name = "Success"; break;
        case 1: name = "Error event"; break;
        case 2: name = "Warning event"; break;
        case 4: name = "Information event"; break;
        case 8: name = "Success Audit event"; break;
        case 16: name = "Failure Audit event"; break;
    }
    return std::string(name) + " (" + std::to_string(t) + ")";
}

std::string SidText(const std::vector<uint8_t>& sid) {
    if (sid.size() < 8 || sid.size() != 8 + 4u * sid[1]) return "";
    uint64_t authority = 0;
    for (int i = 2; i < 8; ++i) authority = authority << 8 | sid[i];
    std::string s = "S-" + std::to_string(sid[0]) + "-" + std::to_string(authority);
    for (int i = 0; i < sid[1]; ++i) s += "-" + std::to_string(Get32(sid.data() + 8 + 4 * i));
    return s;
}

}  // namespace

std::string ListEvent(const Event& e) {
    char id[64];
    std::snprintf(id, sizeof id, "0x%08x (%u)", e.eventId, e.eventId);
    std::string s;
    s += "Event number\t\t\t: " + std::to_string(e.recordNumber) + "\n";
    s += "Creation time\t\t\t: " + Time(e.timeGenerated) + "\n";
    s += "Written time\t\t\t: " + Time(e.timeWritten) + "\n";
    s += "Event type\t\t\t: " + TypeText(e.eventType) + "\n";
    if (!e.sid.empty()) s += "User security identifier\t: " + SidText(e.sid) + "\n";
    s += "Computer name\t\t\t: " + Utf8(e.computer) + "\n";
    s += "Source name\t\t\t: " + Utf8(e.source) + "\n";
    s += "Event category\t\t\t: " + std::to_string(e.category) + "\n";
    s += "Event identifier\t\t: " + std::string(id) + "\n";
    s += "Number of strings\t\t: " + std::to_string(e.strings.size()) + "\n";
    for (size_t i = 0; i < e.strings.size(); ++i)
        s += "String: " + std::to_string(i + 1) + "\t\t\t: " + Utf8(e.strings[i]) + "\n";
    s += "\n";
    return s;
}

}  // namespace vantrel::evt
