#include "entry_filter.h"

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

// A list item: the event source, then optionally a TAB and the event number; fields
// after the second are not looked at.
struct ListLine {
    std::string source;
    std::string number;
};

ListLine SplitListLine(const std::string& item) {
    ListLine line;
    std::vector<std::string> fields = vantrel::common::ParseString(item, "\t");
    if (!fields.empty()) line.source = fields[0];
    if (fields.size() > 1) line.number = fields[1];
    return line;
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
        ListLine line;
        run([&] { line = SplitListLine(list[index]); });
        const std::string& number = line.number;
        if (settings.mode != "E" && settings.mode != "I") continue;

        bool matched = false;
        run([&] {
            const bool same_source = hooks.text.upper(record.SourceName()) == hooks.text.upper(line.source);
            if (number.empty()) {
                matched = same_source;
                return;
            }
            double value = 0;
            if (settings.mode == "I") {
                // Both halves are evaluated: a number that is no number fails for every entry.
                value = hooks.text.number(number);
            } else {
                // An exclusion whose number cannot be evaluated excludes nothing; the start
                // has named it once (UnusableLinesWarning).
                try {
                    value = hooks.text.number(number);
                } catch (const vantrel::common::RunTimeError&) {
                    return;
                }
            }
            matched = same_source && value == static_cast<double>(record.EventCode());
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

std::vector<UnusableLine> UnusableListLines(const std::vector<std::string>& list, const TextRules& text) {
    std::vector<UnusableLine> bad;
    for (size_t index = 0; index < list.size(); ++index) {
        const ListLine line = SplitListLine(list[index]);
        if (line.number.empty()) continue;
        try {
            text.number(line.number);
        } catch (const vantrel::common::RunTimeError& e) {
            bad.push_back({index + 1, list[index], e.what()});
        }
    }
    return bad;
}

namespace {

std::string Shown(const std::string& text) {
    constexpr size_t kShownChars = 60;
    std::string out;
    for (size_t i = 0; i < text.size() && i < kShownChars; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\t') out += "<TAB>";
        else if (c < 0x20 || c == 0x7F) out += '?';
        else out += static_cast<char>(c);
    }
    if (text.size() > kShownChars) out += "...";
    return out;
}

}  // namespace

std::string UnusableLinesWarning(const std::vector<UnusableLine>& lines, bool include_mode) {
    constexpr size_t kNamedLines = 10;
    if (lines.empty()) return {};
    std::string text = include_mode ? "Include list lines whose event number cannot be evaluated raise an error for "
                                      "every entry that reaches them, and such entries are not notified: "
                                    : "Exclusion list lines whose event number cannot be evaluated exclude nothing: ";
    for (size_t n = 0; n < lines.size() && n < kNamedLines; ++n) {
        if (n) text += "; ";
        text += "line " + std::to_string(lines[n].line) + " \"" + Shown(lines[n].text) + "\" (" + lines[n].error + ")";
    }
    if (lines.size() > kNamedLines) text += "; and " + std::to_string(lines.size() - kNamedLines) + " more";
    return text + ".";
}

}  // namespace quenloc
