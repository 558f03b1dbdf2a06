// The ini reader and the error-log writer under libFuzzer: any ini text gives settings,
// any call-tree text a report, without a fault.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/error_log.h"
#include "core/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    trap::IniText ini(text);
    // One state for every input, with what this run fills reset: a fresh state per input
    // (a thousand strings) cost more than the code under test.
    static trap::TrapState& s = *new trap::TrapState;
    s.settings = trap::TrapSettings{};
    for (size_t k = 0; k < 8; ++k) s.call_tree[k].clear();
    s.error_record[0] = trap::ErrorSlot{};
    trap::ReadCircularSettings(ini, "C:\\Prog", s.settings);
    trap::ReadIniSettings(ini, "C:\\Prog", s.settings);
    int16_t v = 0;
    trap::ToInt16(text, v);

    // The same text as call-tree entries and record texts.
    s.level_flag.assign(trap::kMaxLevel + 1, static_cast<int16_t>(static_cast<int>(size % 3) - 1));
    s.error_level_flag = static_cast<int16_t>(size);
    size_t at = 0;
    for (size_t k = 0; k < 8 && at <= text.size(); ++k) {
        const size_t end = std::min(text.size(), text.find('\n', at));
        s.call_tree[k] = text.substr(at, end - at);
        at = end + 1;
    }
    s.error_record[0].module = text.substr(0, 8);
    s.error_record[0].procedure = text.substr(size / 2);
    s.hop_count = static_cast<int16_t>(size % 12);
    // One buffer for every input, handed back emptied at each chunk as a file writer
    // would: a deep tree's report runs to megabytes, and fresh memory for each cost far
    // more than making it.
    static std::string& report = *new std::string;
    report.clear();
    trap::AppendErrorLog(s, {}, {}, report, [](std::string& text) { text.clear(); });
    return 0;
}
