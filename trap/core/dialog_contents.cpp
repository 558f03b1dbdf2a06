#include "dialog_contents.h"

#include <algorithm>
#include <cctype>

#include "error_log.h"
#include "settings.h"

namespace trap {
namespace {

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The highest record in use; the record always has slots 0 to 10.
int RecordCount(const TrapState& s) { return std::clamp<int>(s.hop_count, 0, kErrorSlots - 1); }

std::string RuntimeErrorText(const ErrorSlot& slot, bool with_line) {
    std::string text = "Runtime error " + std::to_string(slot.number) + ", " + slot.description;
    if (with_line && slot.line > 0) text += " on line " + std::to_string(slot.line);
    return text;
}

}  // namespace

const char* const kDialogViews[4] = {
    "To help resolve the problem, please enter what you were doing.",
    "View detailed information about the error source",
    "View error context and procedure trace",
    "View local system information",
};

std::string SummaryText(const TrapState& s, const std::string& exe_name) {
    const int c = RecordCount(s);
    std::string text = c > 1 ? "An unexpected '" + Lower(s.error_record[static_cast<size_t>(c)].description) +
                                   "' error occured in a component used by " + exe_name + "."
                             : "An unexpected '" + Lower(s.error_record[0].description) + "' error occured in " +
                                   exe_name + ".";
    return text + "\r\n" + std::to_string(c + 1) + " error(s) are logged.";
}

std::vector<std::string> ErrorListItems(const TrapState& s) {
    const int c = RecordCount(s);
    std::vector<std::string> items;
    for (int i = 0; i <= c; ++i)
        items.push_back("Error " + std::to_string(c - i + 1) + " - " + s.error_record[static_cast<size_t>(i)].description);
    return items;
}

std::string LineCaption(int32_t line, int32_t code_pointer) {
    if (line == 0) return " line numbers not used - Code Pointer = " + std::to_string(code_pointer);
    return " " + std::to_string(line);
}

CallTreeView BuildCallTree(const TrapState& s) {
    CallTreeView view;
    auto& items = view.items;
    auto add = [&](const std::string& kind, int level, const std::string& text) {
        items.push_back(" " + std::to_string(items.size() + 1) + " : " + kind + "\t" +
                        std::string(static_cast<size_t>(std::max(level, 0)), '\t') + text);
    };
    const ErrorSlot& first = s.error_record[0];
    const std::string trap_mark = CutAtMark(first.module) + " : " + CutAtMark(first.procedure);
    int level = -1;

    // Entry 0 holds the number of copied entries; never read past what the copy holds.
    const double counted = s.call_tree.empty() ? 0 : NumericValue(s.call_tree[0]);
    const int entries = counted > 0 ? static_cast<int>(std::min<double>(counted, kMaxLevel)) : 0;
    for (int k = 1; k <= entries && static_cast<size_t>(k) < s.call_tree.size(); ++k) {
        std::string entry = s.call_tree[static_cast<size_t>(k)];
        std::replace(entry.begin(), entry.end(), '\t', ' ');
        // Drop the level number in front of the entry.
        const size_t cut = entry.find(" : ");
        entry = Trim(cut != std::string::npos ? entry.substr(cut + 3) : (entry.empty() ? entry : entry.substr(1)));
        ++level;
        add("Call", level, entry);
        const int16_t flag = static_cast<size_t>(k) < s.level_flag.size() ? s.level_flag[static_cast<size_t>(k)] : 0;
        if (flag > 0) add("Code", level, "Code Pointer = " + std::to_string(flag));
        if (entry.find(trap_mark) != std::string::npos) {
            view.trap_index = items.size();
            add("Trap", level, RuntimeErrorText(first, true));
        }
    }
    if (items.size() >= 2 && view.trap_index < items.size() - 1) add("Error", level, RuntimeErrorText(first, false));

    for (int j = 1; j <= RecordCount(s); ++j) {
        const ErrorSlot& hop = s.error_record[static_cast<size_t>(j)];
        ++level;
        add("Call", level, CutAtMark(hop.source) + " : " + CutAtMark(hop.module) + " : " + CutAtMark(hop.procedure));
        add("Error", level, RuntimeErrorText(hop, true));
    }
    return view;
}

int FirstRuntimeErrorItem(const std::vector<std::string>& items) {
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].find("Runtime error") != std::string::npos) return static_cast<int>(i);
    return -1;
}

std::string KnowledgeBaseMessage(const std::vector<std::string>& lines, const std::string& standard_text,
                                 const std::string& number_caption) {
    const std::string wanted_text = Upper(standard_text);
    const std::string wanted_number = "ERROR" + number_caption;
    std::string found;
    for (const std::string& line : lines) {
        const size_t blank = line.find(' ');
        const std::string key = Upper(blank == std::string::npos ? line : line.substr(blank + 1));
        if (key.find(wanted_text) != std::string::npos || key.find(wanted_number) != std::string::npos)
            found += "\r\n - " + line;
    }
    if (found.empty()) return "No matching article was found. Try searching the knowledge base for the error number.";
    return "The following knowledge base article(s) may contain information to assist you:\r\n" + found;
}

}  // namespace trap
