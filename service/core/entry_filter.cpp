#include "entry_filter.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "core/list_text.h"
#include "core/run_time_error.h"

namespace quenloc {

const LogHandler kLogHandlers[6] = {
    {"ApplicationLogMonitor_NewLogEntry", "Application Log", false},
    {"SecurityLogMonitor_NewLogEntry", "SecurityLog", true},
    {"SystemLogMonitor_NewLogEntry", "System Log", false},
    {"DSLogMonitor_NewLogEntry", "DSLog", false},
    {"DNSLogMonitor_NewLogEntry", "DNSLog", false},
    {"FRSLogMonitor_NewLogEntry", "FRSLog", false},
};

namespace {

constexpr int kErrTypeMismatch = 13;

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

struct Texts {
    const char* no_exclusions;
    const char* source_only;
    const char* source_and_id;
    const char* exclude_source_only;
    const char* exclude_source_and_id;
    const char* exit;
};

constexpr Texts kApplicationTexts{"Applog Exclude Match By No Exclusions In List", "Applog Match By Source Only",
                                  "Applog Match By Source And Event ID", "Applog Exclude Match By Source Only",
                                  "Applog Exclude Match By Source And Event ID", "Exit AppLogMonitor_NewLogEntry"};
constexpr Texts kSecurityTexts{"SecurityLog Exclude Match By No Exclusions In List", "Securitylog Match By Source Only",
                               "Securitylog Match By Source And Event ID", "Securitylog Exclude Match By Source Only",
                               "Securitylog Exclude Match By Source And Event ID", "Exit SecurityLogMonitor_NewLogEntry"};

}  // namespace

double EventNumberValue(const std::string& text) {
    size_t begin = text.find_first_not_of(' ');
    size_t end = text.find_last_not_of(' ');
    if (begin == std::string::npos) throw vantrel::common::RunTimeError(kErrTypeMismatch, "Type mismatch");
    std::string digits = text.substr(begin, end - begin + 1);
    // Only plain decimal notation: no hexadecimal, infinities or NaN from strtod.
    for (char c : digits)
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '+' && c != '-' && c != 'e' && c != 'E')
            throw vantrel::common::RunTimeError(kErrTypeMismatch, "Type mismatch");
    errno = 0;
    char* stop = nullptr;
    double value = std::strtod(digits.c_str(), &stop);
    if (stop != digits.c_str() + digits.size() || errno == ERANGE)
        throw vantrel::common::RunTimeError(kErrTypeMismatch, "Type mismatch");
    return value;
}

void FilterEntry(const LogHandler& handler, const FilterSettings& settings, const std::vector<std::string>& list,
                 RecordView& record, const FilterHooks& hooks) {
    const Texts& texts = handler.security ? kSecurityTexts : kApplicationTexts;
    const auto& run = hooks.statement;
    if (handler.security) run([&] { hooks.debug("Start SecurityLogMonitor_NewEntry"); });

    std::string type;
    run([&] { type = record.EventType(); });
    struct Switch {
        const char* type;
        const std::string& setting;
        const char* word;
    } const switches[] = {{"Information", settings.info, "Info"},
                          {"Warning", settings.warning, "Warning"},
                          {"Error", settings.error, "Error"}};
    bool known = false;
    for (const Switch& s : switches) {
        if (type != s.type) continue;
        known = true;
        if (s.setting != "1") {
            if (handler.security)
                run([&] { hooks.debug(std::string(handler.name) + " Not Monitoring " + s.word + " Events"); });
            return;
        }
    }
    if (!known) run([&] { hooks.debug(std::string(handler.name) + " Monitoring Other Events : " + record.EventType()); });

    if (list.empty() && settings.mode == "E") {
        run([&] { hooks.debug(texts.no_exclusions); });
        run(hooks.send);
        return;
    }

    // Exclude mode: an entry that matches no line is sent after the walk, with the text
    // that fits the list's last line.
    bool last_had_number = false;
    for (size_t index = 0; index < list.size(); ++index) {
        std::string item = list[index];
        std::string number;
        std::string source;
        run([&] {
            std::vector<std::string> fields = vantrel::common::ParseString(item, "\t");
            if (!fields.empty()) source = fields[0];
            if (fields.size() > 1) number = fields[1];
        });
        if (settings.mode != "E" && settings.mode != "I") continue;

        bool matched = false;
        run([&] {
            bool same_source = Upper(record.SourceName()) == Upper(source);
            if (number.empty()) {
                matched = same_source;
            } else {
                // Both halves are evaluated: a number that is no number fails for every entry.
                bool same_code = EventNumberValue(number) == static_cast<double>(record.EventCode());
                matched = same_source && same_code;
            }
        });
        last_had_number = !number.empty();
        if (settings.mode == "E") {
            if (matched) return;  // suppressed, silently
            continue;
        }
        if (matched) {
            run([&] { hooks.debug(number.empty() ? texts.source_only : texts.source_and_id); });
            run(hooks.send);
            return;
        }
        run(hooks.yield);
    }
    if (settings.mode == "E" && !list.empty()) {
        run([&] { hooks.debug(last_had_number ? texts.exclude_source_and_id : texts.exclude_source_only); });
        run(hooks.send);
        return;
    }
    run([&] { hooks.debug(texts.exit); });
}

}  // namespace quenloc
