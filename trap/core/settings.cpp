#include "settings.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace trap {
namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

std::string Cut(std::string s, size_t size) {
    const size_t max = size ? size - 1 : 0;
    if (s.size() > max) s.resize(max);
    return s;
}

int16_t NegatedDigit(ProfileSource& ini, const char* section, const char* key, const char* fallback) {
    const std::string v = ini.Read(section, key, fallback, 2);
    return static_cast<int16_t>(-static_cast<int>(NumericValue(v)));
}

bool Positive(ProfileSource& ini, const char* section, const char* key) {
    return NumericValue(ini.Read(section, key, "", 8)) > 0;
}

}  // namespace

std::string IniText::Read(const std::string& section, const std::string& key, const std::string& fallback,
                          size_t size) {
    bool in_section = false;
    size_t pos = 0;
    while (pos <= text_.size()) {
        size_t end = text_.find('\n', pos);
        if (end == std::string::npos) end = text_.size();
        const std::string line = Trim(text_.substr(pos, end - pos));
        pos = end + 1;
        if (!line.empty() && line.front() == '[') {
            const size_t close = line.find(']');
            in_section = close != std::string::npos && EqualNoCase(Trim(line.substr(1, close - 1)), section);
            continue;
        }
        if (!in_section || line.empty() || line.front() == ';') continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos || !EqualNoCase(Trim(line.substr(0, eq)), key)) continue;
        std::string value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return Cut(value, size);
    }
    return Cut(fallback, size);
}

double NumericValue(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
    bool digits = false, point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            number += c;
            digits = true;
        } else if (c == '.' && !point) {
            number += c;
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return 0;
    return std::strtod(number.c_str(), nullptr);
}

bool ToInt16(const std::string& text, int16_t& out) {
    const std::string t = Trim(text);
    if (t.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || !std::isfinite(v)) return false;
    const double r = std::nearbyint(v);  // default rounding: half to even
    if (r < -32768 || r > 32767) return false;
    out = static_cast<int16_t>(r);
    return true;
}

std::string TrimFolder(std::string folder) {
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

void ReadCircularSettings(ProfileSource& ini, const std::string& folder, TrapSettings& s) {
    s.circular_log_on = ini.Read("Log File", "CircularLog", "0", 5).substr(0, 1) == "1";
    s.circular_log_path = folder + "\\" + ini.Read("CircularLog", "FileName", "circ0001.log", 128);
    if (!s.circular_log_on) return;
    int16_t v = 0;
    // A value that is not a 16-bit number leaves the setting as it was.
    if (ToInt16(ini.Read("CircularLog", "RecordSize", "1024", 128), v)) s.record_size = v;
    if (ToInt16(ini.Read("CircularLog", "MaxRecords", "10", 128), v)) s.max_records = v;
    // A negative record size would place records before the header; it makes every
    // record empty, like a zero size.
    if (s.record_size < 0) s.record_size = 0;
}

void ReadIniSettings(ProfileSource& ini, const std::string& folder, TrapSettings& s) {
    s.force_system_info = Positive(ini, "preferences", "Force System Info");
    s.email_address = ini.Read("email", "Address", "", 255);
    s.write_to_disk = Positive(ini, "log file", "Write To Disk");
    s.capture_to_disk = Positive(ini, "log file", "Capture To Disk");
    if (s.write_to_disk) {
        std::string path = ini.Read("log file", "Log File", "error.log", 128);
        if (path.empty()) path = "error.log";
        if (path.find('\\') == std::string::npos) path = folder + "\\" + path;
        s.log_file_path = path;
    }
    s.silent_run = NegatedDigit(ini, "preferences", "Silent Run", "0");
    s.display_mode = NegatedDigit(ini, "preferences", "Display Mode", "0");
    s.include_resources = NegatedDigit(ini, "include", "Resources", "1");
    s.include_memory = NegatedDigit(ini, "include", "Memory", "1");
    s.include_arguments = NegatedDigit(ini, "include", "Arguments", "1");
    s.include_user = NegatedDigit(ini, "include", "User", "1");
}

}  // namespace trap
