// The trap's settings: what "Nalt.INI" beside the program says, with the defaults and
// conversions of the profile reader.
#pragma once

#include <cstdint>
#include <string>

#include "core/settings_table.h"

namespace trap {

// A private profile (ini) file as the system's reader sees it: sections and keys matched
// without regard to case, at most size - 1 characters returned, `fallback` when absent.
class ProfileSource {
public:
    virtual ~ProfileSource() = default;
    virtual std::string Read(const std::string& section, const std::string& key, const std::string& fallback,
                             size_t size) = 0;
};

// The same reading rules over the text of an ini file held in memory.
class IniText : public ProfileSource {
public:
    explicit IniText(std::string text) : text_(std::move(text)) {}
    std::string Read(const std::string& section, const std::string& key, const std::string& fallback,
                     size_t size) override;

private:
    std::string text_;
};

constexpr const char* kIniName = vantrel::common::kTrapIniName;
inline std::string HollinIniName() { return kIniName; }

struct TrapSettings {
    bool circular_log_on = false;
    std::string circular_log_path;
    int32_t record_size = 0;
    int32_t max_records = 0;
    bool force_system_info = false;
    std::string email_address;
    bool write_to_disk = false;
    bool capture_to_disk = false;
    std::string log_file_path;
    // The 16-bit flags hold minus the digit read: "1" is -1 (true), "0" is 0.
    int16_t silent_run = 0;
    int16_t display_mode = 0;
    int16_t include_resources = 0;
    int16_t include_memory = 0;
    int16_t include_arguments = 0;
    int16_t include_user = 0;
};

// The numeric value of a text the way the profile's numbers are read: leading blanks,
// a sign, digits and a fraction; whatever follows is ignored; no number reads as 0.
double NumericValue(const std::string& text);

// A text converted to a 16-bit integer (rounded half to even); false when it is not a
// number or lies outside -32768..32767.
bool ToInt16(const std::string& text, int16_t& out);

// The circular-log keys: "CircularLog" and "FileName", and when the log is on
// "RecordSize" and "MaxRecords". `folder` is the programs' folder without trailing "\".
void ReadCircularSettings(ProfileSource& ini, const std::string& folder, TrapSettings& s);

// The keys read only when the ini file exists.
void ReadIniSettings(ProfileSource& ini, const std::string& folder, TrapSettings& s);

// The programs' folder without a trailing "\".
std::string TrimFolder(std::string folder);

}  // namespace trap
