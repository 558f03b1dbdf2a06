#include "syslog_text.h"

#include "run_time_error.h"

namespace vantrel::common {

int16_t SyslogPriority(int16_t facility, int16_t severity) {
    int32_t product = static_cast<int32_t>(facility) * 8;
    if (product < INT16_MIN || product > INT16_MAX) throw RunTimeError(kErrOverflow, "Overflow");
    int32_t sum = product + severity;
    if (sum < INT16_MIN || sum > INT16_MAX) throw RunTimeError(kErrOverflow, "Overflow");
    return static_cast<int16_t>(sum);
}

std::string SyslogLine(int priority, const std::string& text) {
    return "<" + std::to_string(priority) + ">" + text;
}

std::string QuoteArgument(const std::string& argument) {
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\0') continue;
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: there each must be doubled, and the
        // quote itself escaped.
        if (c == '"') out.append(backslashes * 2 + 1, '\\');
        else out.append(backslashes, '\\');
        backslashes = 0;
        out.push_back(c);
    }
    // Before the closing quote, too.
    out.append(backslashes * 2, '\\');
    out.push_back('"');
    return out;
}

std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> args;
    size_t i = 0;
    const size_t n = line.size();
    auto blank = [](char c) { return c == ' ' || c == '\t'; };

    std::string program;
    if (i < n && line[i] == '"') {
        ++i;
        while (i < n && line[i] != '"') program.push_back(line[i++]);
        if (i < n) ++i;
    } else {
        while (i < n && !blank(line[i])) program.push_back(line[i++]);
    }
    args.push_back(program);

    for (;;) {
        while (i < n && blank(line[i])) ++i;
        if (i >= n) break;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !blank(line[i]))) {
            if (line[i] == '\\') {
                size_t count = 0;
                while (i < n && line[i] == '\\') { ++count; ++i; }
                if (i < n && line[i] == '"') {
                    arg.append(count / 2, '\\');
                    if (count % 2) { arg.push_back('"'); ++i; }
                } else {
                    arg.append(count, '\\');
                }
                continue;
            }
            if (line[i] == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    // A doubled quote inside a quoted part is one literal quote.
                    arg.push_back('"');
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            arg.push_back(line[i++]);
        }
        args.push_back(arg);
    }
    return args;
}

std::string SenderCommandLine(const std::string& programs_folder, const std::string& argument) {
    return "\"" + programs_folder + "\\" + kSenderFileName + "\" " + QuoteArgument(argument);
}

}  // namespace vantrel::common
