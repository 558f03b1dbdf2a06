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

using vantrel::common::SettingId;

std::string Read(ProfileSource& ini, SettingId id, size_t size) {
    const auto& s = vantrel::common::SettingOf(id);
    return ini.Read(s.section, s.name, s.fallback, size);
}

int16_t NegatedDigit(ProfileSource& ini, SettingId id) {
    return static_cast<int16_t>(-static_cast<int>(NumericValue(Read(ini, id, 2))));
}

bool Positive(ProfileSource& ini, SettingId id) { return NumericValue(Read(ini, id, 8)) > 0; }

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
    s.circular_log_on = Read(ini, SettingId::TrapCircularLog, 5).substr(0, 1) == "1";
    s.circular_log_path = folder + "\\" + Read(ini, SettingId::TrapCircularFileName, 128);
    if (!s.circular_log_on) return;
    int16_t v = 0;
    // A value that is not a 16-bit number leaves the setting as it was.
    if (ToInt16(Read(ini, SettingId::TrapRecordSize, 128), v)) s.record_size = v;
    if (ToInt16(Read(ini, SettingId::TrapMaxRecords, 128), v)) s.max_records = v;
    // A negative record size would place records before the header; it makes every
    // record empty, like a zero size.
    if (s.record_size < 0) s.record_size = 0;
}

void ReadIniSettings(ProfileSource& ini, const std::string& folder, TrapSettings& s) {
    s.force_system_info = Positive(ini, SettingId::TrapForceSystemInfo);
    s.email_address = Read(ini, SettingId::TrapEmailAddress, 255);
    s.write_to_disk = Positive(ini, SettingId::TrapWriteToDisk);
    s.capture_to_disk = Positive(ini, SettingId::TrapCaptureToDisk);
    if (s.write_to_disk) {
        std::string path = Read(ini, SettingId::TrapLogFile, 128);
        if (path.empty()) path = vantrel::common::SettingFallback(SettingId::TrapLogFile);
        if (path.find('\\') == std::string::npos) path = folder + "\\" + path;
        s.log_file_path = path;
    }
    s.silent_run = NegatedDigit(ini, SettingId::TrapSilentRun);
    s.display_mode = NegatedDigit(ini, SettingId::TrapDisplayMode);
    s.include_resources = NegatedDigit(ini, SettingId::TrapIncludeResources);
    s.include_memory = NegatedDigit(ini, SettingId::TrapIncludeMemory);
    s.include_arguments = NegatedDigit(ini, SettingId::TrapIncludeArguments);
    s.include_user = NegatedDigit(ini, SettingId::TrapIncludeUser);
}

}  // namespace trap
