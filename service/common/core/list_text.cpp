#include "list_text.h"

#include "procedure_frame.h"

namespace vantrel::common {

std::vector<std::string> SplitLines(const std::string& content) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(content.substr(start));
            break;
        }
        lines.push_back(content.substr(start, end - start));
        start = end + 1;
        if (content[end] == '\r' && start < content.size() && content[start] == '\n') ++start;
    }
    return lines;
}

std::string JoinLines(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& item : items) {
        out += item;
        out += "\r\n";
    }
    return out;
}

namespace {

bool StartsWithUserNameTemplate(const std::string& line) {
    static const char kWord[] = "%username%";
    if (line.size() < 10) return false;
    for (size_t n = 0; n < 10; ++n) {
        char c = line[n];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kWord[n]) return false;
    }
    return true;
}

}  // namespace

std::string ExpandRecipients(const std::vector<std::string>& lines, std::string& user_name) {
    std::string result;
    for (std::string line : lines) {
        if (StartsWithUserNameTemplate(line)) {
            user_name = StripDomain(user_name);
            line = user_name + line.substr(10);
        }
        if (!line.empty() && line[0] == '@') continue;
        result += ',';
        result += line;
    }
    if (!result.empty()) result.erase(0, 1);
    return result;
}

std::vector<std::string> ParseString(const std::string& text, const std::string& delimiter) {
    std::vector<std::string> fields;
    InFrame(trace::kParseString, [&] {
        fields.clear();  // a statement run again starts over
        if (delimiter.empty()) {
            fields.push_back(text);
            return;
        }
        size_t start = 0;
        for (;;) {
            size_t p = text.find(delimiter, start);
            if (p == std::string::npos) {
                fields.push_back(text.substr(start));
                return;
            }
            fields.push_back(text.substr(start, p - start));
            start = p + delimiter.size();
        }
    });
    return fields;
}

std::string StripDomain(const std::string& name) {
    size_t p = name.find('\\');
    return p == std::string::npos ? name : name.substr(p + 1);
}

}  // namespace vantrel::common
