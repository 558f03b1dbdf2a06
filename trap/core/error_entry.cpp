#include "error_entry.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "error_classes.h"
#include "settings.h"
#include "trace.h"

namespace trap {
namespace {

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string TrimLeft(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The numeric value of a chain field as a whole number above 0, else 0.
int32_t PositiveField(const std::string& field) {
    const double v = std::nearbyint(NumericValue(field));
    if (!(v > 0) || v > static_cast<double>(std::numeric_limits<int32_t>::max())) return 0;
    return static_cast<int32_t>(v);
}

// The hop count at the start of the source text; 0 when it is no 16-bit number.
int16_t LeadingHopCount(const std::string& text) {
    const double v = std::nearbyint(NumericValue(text));
    if (!(v >= -32768.0 && v <= 32767.0)) return 0;
    return static_cast<int16_t>(v);
}

std::string JoinMarked(const std::string& handler, const std::string& stack) {
    if (Upper(Trim(stack)) == Upper(Trim(handler))) return stack;
    return handler + " << " + stack;
}

}  // namespace

StackTop FindStackTop(const TrapState& s) {
    StackTop top;
    std::string entry;
    // Levels above those stored were counted, not kept: start at the highest one kept.
    const int64_t highest = std::min<int64_t>({s.depth, kMaxLevel, static_cast<int64_t>(s.call_stack.size()) - 1});
    for (int64_t i = highest; i >= 1; --i) {
        if (!s.call_stack[static_cast<size_t>(i)].empty()) {
            entry = s.call_stack[static_cast<size_t>(i)];
            break;
        }
    }
    if (entry.empty()) return top;
    const size_t number_end = entry.find(':');
    if (number_end != std::string::npos) entry.erase(0, number_end + 1);
    entry = TrimLeft(entry);
    for (size_t tab; (tab = entry.find('\t')) != std::string::npos;) entry = TrimLeft(entry.substr(tab + 1));
    const size_t colon = entry.find(':');
    if (colon == std::string::npos) return top;
    top.module = Trim(entry.substr(0, colon));
    const size_t next = entry.find(':', colon + 1);
    if (next != std::string::npos) top.procedure = Trim(entry.substr(colon + 1, next - colon - 1));
    return top;
}

void DecodeRemoteChain(TrapState& s, int32_t pending_number) {
    auto& rec = s.error_record;
    std::string text = rec[0].source;
    s.hop_count = LeadingHopCount(text);
    rec[0].description = "Remote " + StandardMessage(kRemoteError).text;
    rec[0].category = ErrorCategoryText(ErrorClassOf(kRemoteError));
    if (s.hop_count > 0) text.erase(0, std::min(text.size(), std::to_string(s.hop_count).size()));

    const std::string category = ErrorCategoryText(ErrorClassOf(pending_number));
    for (int k = s.hop_count; k >= 1; --k) {
        std::string field[5];
        size_t cursor = 0;
        for (auto& f : field) {
            const size_t bang = text.find('!', cursor);
            if (bang == std::string::npos) {
                f = "<unknown>";
                continue;
            }
            f = text.substr(cursor, bang - cursor);
            cursor = bang + 1;
        }
        text.erase(0, cursor);
        // Hops beyond the record's last slot are read past and dropped.
        if (k >= kErrorSlots) continue;
        ErrorSlot& slot = rec[static_cast<size_t>(k)];
        slot.source = field[0] + " (remote)";
        slot.module = field[1];
        slot.procedure = field[2];
        slot.line = PositiveField(field[3]);
        slot.number = PositiveField(field[4]);
        slot.category = category;
        const StandardMessageEntry message = StandardMessage(slot.number);
        slot.description = message.text;
        slot.help_file = message.help_file;
        slot.help_context = message.help_context;
    }

    const StandardMessageEntry remote = StandardMessage(kRemoteError);
    rec[0].source = s.project_name + " (local)";
    rec[0].number = kRemoteError;
    rec[0].help_file = remote.help_file;
    rec[0].help_context = remote.help_context;
    const int stored = std::min<int>(s.hop_count, kErrorSlots - 1);
    for (int k = stored - 1; k >= 0; --k) {
        ErrorSlot& slot = rec[static_cast<size_t>(k)];
        const ErrorSlot& next = rec[static_cast<size_t>(k + 1)];
        slot.source += " << " + next.source;
        slot.module += " << " + next.module;
        slot.procedure += " << " + next.procedure;
    }
}

std::string ErrorLine(const TrapState& s) {
    const ErrorSlot& slot = s.error_record[0];
    return s.exe_prefix + Upper(Trim(HollinReportText(16))) + " " + std::to_string(slot.number) + " at " +
           slot.module + " : " + slot.procedure + " " + ": Line " + std::to_string(slot.line) + " : " +
           slot.description + "\r\n";
}

bool RecordError(TrapState& s, TrapPlatform& p, const std::string& module, const std::string& procedure,
                 const RunTimeError& error) {
    ErrorSlot& slot = s.error_record[0];
    StackTop top;
    try {
        // The project's own name is known only once the settings are loaded, and an
        // error of this program itself carries that name as its source.
        LoadSettings(s, p);
        slot.source = error.source.empty() ? s.project_name : error.source;
        slot.source += slot.source != s.project_name ? " (remote)" : " (local)";
        // Another error's dialog is open: wait until it is answered.
        while (s.trace_paused) p.PumpMessages();
        const bool level_stored = s.depth >= 0 && s.depth <= kMaxLevel && static_cast<size_t>(s.depth) < s.level_flag.size();
        s.error_level_flag = level_stored ? s.level_flag[static_cast<size_t>(s.depth)] : 0;
        slot.category = ErrorCategoryText(ErrorClassOf(error.number)) + HollinReportText(16);
        top = FindStackTop(s);
    } catch (...) {
        p.InternalError(CurrentRunTimeError().number, "HollinERROR()");
        return false;
    }

    // From here on a failing step is skipped and the rest still runs.
    try {
        slot.module = JoinMarked(module, top.module);
        slot.procedure = JoinMarked(procedure, top.procedure);
        slot.line = error.line;
        slot.number = error.number;
        for (size_t k = 1; k < s.error_record.size(); ++k) s.error_record[k].description.clear();
        s.hop_count = 0;
        if (slot.source.find('!') != std::string::npos) {
            DecodeRemoteChain(s, error.number);
        } else {
            const StandardMessageEntry standard = StandardMessage(error.number);
            // An error without help of its own has the run-time library's topic for its number.
            slot.help_file = error.help_file.empty() ? standard.help_file : error.help_file;
            slot.help_context = error.help_file.empty() ? standard.help_context : error.help_context;
            slot.description = standard.text;
        }
        if (error.number < 0) {
            slot.number = error.number - kObjectErrorBase;
            slot.description = StandardMessage(slot.number).text + " : " + slot.description;
        }
    } catch (...) {
    }
    try {
        WriteCircularLog(s, p, ErrorLine(s));
    } catch (...) {
    }
    try {
        const int32_t copied = std::min<int32_t>(s.depth, kMaxLevel);
        s.call_tree.resize(kMaxLevel + 1);
        s.call_tree[0] = " " + std::to_string(s.depth);
        for (int32_t i = 1; i <= copied && static_cast<size_t>(i) < s.call_stack.size(); ++i)
            s.call_tree[static_cast<size_t>(i)] = s.call_stack[static_cast<size_t>(i)];
    } catch (...) {
    }
    return true;
}

namespace {

// What this entry's record holds once filled. The system report and the mail let pending
// messages through, as the dialog does: a handler that fails there runs an error entry of
// its own, which fills the record again. The dialog, the mail and the log must still
// report this error.
struct KeptRecord {
    std::array<ErrorSlot, kErrorSlots> record;
    std::vector<std::string> tree;
    int16_t hops = 0, code_pointer = 0;
    std::string report;

    explicit KeptRecord(const TrapState& s)
        : record(s.error_record), tree(s.call_tree), hops(s.hop_count), code_pointer(s.error_level_flag),
          report(s.system_report_text) {}
    void RestoreInto(TrapState& s) const {
        s.error_record = record;
        s.call_tree = tree;
        s.hop_count = hops;
        s.error_level_flag = code_pointer;
        s.system_report_text = report;
    }
};

}  // namespace

Answer RunErrorEntry(TrapState& s, TrapPlatform& p, ErrorEntrySteps& steps, const std::string& module,
                     const std::string& procedure, const RunTimeError& error) {
    Answer answer;
    const uint32_t entry = ++s.error_entries;
    if (RecordError(s, p, module, procedure, error)) {
        std::optional<KeptRecord> kept;
        try {
            kept.emplace(s);
        } catch (...) {
            // Without memory for the copy the record is reported as it stands.
        }
        const auto restore = [&] {
            if (!kept || s.error_entries == entry) return;
            try {
                kept->RestoreInto(s);
            } catch (...) {
            }
        };
        if (s.settings.display_mode != 0) {
            try {
                s.system_report_text = steps.SystemInfoReport();
                if (kept) kept->report = s.system_report_text;
            } catch (...) {
            }
        }
        // Only "1" silences the dialog.
        if (s.settings.silent_run != -1) {
            restore();
            try {
                answer = steps.ShowDialog();
                // The dialog hands back the report as its box holds it.
                if (kept) kept->report = s.system_report_text;
            } catch (...) {
                answer.reset();
            }
        }
        if (!s.settings.email_address.empty()) {
            restore();
            try {
                steps.MailReport();
            } catch (...) {
            }
        }
        if (s.settings.write_to_disk) {
            restore();
            try {
                steps.WriteErrorLog();
            } catch (...) {
            }
        }
    }
    s.trace_paused = false;
    return answer;
}

}  // namespace trap
