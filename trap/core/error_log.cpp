#include "error_log.h"

#include <algorithm>

#include "trace.h"

namespace trap {
namespace {

const std::string kZone(14, ' ');
std::string Str(int64_t n) { return (n >= 0 ? " " : "") + std::to_string(n); }

// A run of TABs, appended in place: the tree's indentation grows with the depth, so these
// runs are most of a deep report.
struct Tabs {
    int64_t count;
};

// The report line by line into `out`; `flush`, when given, takes `out` over whenever it
// holds more than a chunk, so that a deep call tree's report is never held whole.
class ReportText {
public:
    ReportText(std::string& out, const ErrorLogFlush& flush) : out_(out), flush_(flush) {}

    template <class... Parts>
    void Line(const Parts&... parts) {
        (Put(parts), ...);
        out_ += "\r\n";
        if (flush_ && out_.size() >= kChunk) flush_(out_);
    }

private:
    static constexpr size_t kChunk = 64 * 1024;
    void Put(const std::string& t) { out_ += t; }
    void Put(const char* t) { out_ += t; }
    void Put(Tabs t) { out_.append(static_cast<size_t>(std::max<int64_t>(t.count, 0)), '\t'); }

    std::string& out_;
    const ErrorLogFlush& flush_;
};

std::string Trimmed(const std::string& s) {
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

// The number at the front of a call-tree entry, kept within the levels the tree can hold.
int64_t LeadingLevel(const std::string& entry) {
    const double v = NumericValue(entry);
    if (!(v > -1)) return -1;
    return v > kMaxLevel ? kMaxLevel : static_cast<int64_t>(v);
}

std::string RuntimeError(const ErrorSlot& r, bool with_line) {
    std::string t = "Runtime error " + std::to_string(r.number) + ", " + r.description;
    if (with_line && r.line > 0) t += " on line " + std::to_string(r.line);
    return t;
}

}  // namespace

std::string CutAtMark(const std::string& text) { return text.substr(0, text.find(" << ")); }

void AppendErrorLog(const TrapState& s, const StampTime& start, const StampTime& stop, std::string& out,
                    const ErrorLogFlush& flush) {
    ReportText report(out, flush);
    auto line = [&](const auto&... parts) { report.Line(parts...); };
    const int highest = std::clamp<int>(s.hop_count, 0, kErrorSlots - 1);
    const int32_t code_pointer = s.error_level_flag;

    line(HollinReportText(20, start));
    line(std::string(65, '*'));
    line(HollinReportText(62, {}, s.program));
    line(HollinReportText(27));
    for (int i = 0; i <= highest; ++i) {
        const ErrorSlot& r = s.error_record[i];
        line("\t*Error " + std::to_string(i + 1));
        line(kZone + HollinReportText(38) + r.category);
        line(kZone + Trimmed(HollinReportText(61)) + " " + r.source);
        line(kZone + Trimmed(HollinReportText(19)) + " " + r.module);
        line(kZone + HollinReportText(30) + " " + r.procedure);
        line(kZone + HollinReportText(35) + std::to_string(r.line));
        line(kZone + HollinReportText(36) + std::to_string(r.number));
        line(kZone + HollinReportText(37) + r.description);
        if (code_pointer > 0 && static_cast<size_t>(i) < s.call_tree.size()) {
            const int64_t v = LeadingLevel(s.call_tree[i]);
            if (v - 1 >= 0) line(kZone, Tabs{v - 1}, "Code Pointer : ", std::to_string(code_pointer));
        }
        line("");
    }
    line("");
    line(HollinReportText(28));

    // The call tree with the trapped errors placed in it; numbering and indentation carry
    // on into the earlier errors.
    int64_t indent = -1, n = 0, mark = 0;
    const ErrorSlot& first = s.error_record[0];
    const std::string match = CutAtMark(first.module) + " : " + CutAtMark(first.procedure);
    const int64_t depth = s.call_tree.empty() ? 0 : LeadingLevel(s.call_tree[0]);
    const int64_t last = std::min<int64_t>(depth, static_cast<int64_t>(s.call_tree.size()) - 1);
    for (int64_t k = 1; k <= last; ++k) {
        std::string e = s.call_tree[k];
        std::replace(e.begin(), e.end(), '\t', ' ');
        const size_t sep = e.find(" : ");
        e = Trimmed(sep == std::string::npos ? (e.size() > 1 ? e.substr(1) : "") : e.substr(sep + 2));
        ++indent;
        line(kZone, Str(n + 1), " : Call\t", Tabs{indent}, e);
        ++n;
        const int32_t flag = static_cast<size_t>(k) < s.level_flag.size() ? s.level_flag[k] : 0;
        if (flag > 0) {
            ++indent;
            line(kZone, Str(n + 1), " : Code\t", Tabs{indent}, "Code Pointer = ", std::to_string(flag));
            ++n;
        }
        for (int r = 0; r <= highest; ++r) {
            if (e.find(match) == std::string::npos) continue;
            if (flag == 0) ++indent;
            mark = n;
            line(kZone, Str(n + 1), " : Trap\t", Tabs{n}, RuntimeError(s.error_record[r], true));
            ++n;
        }
    }
    if (mark < n) {
        line(kZone, Str(n + 1), " : Error\t", Tabs{indent}, RuntimeError(first, false));
        ++n;  // the tree's lines are one numbered sequence, the earlier errors included
    }

    for (int r = 1; r <= highest; ++r) {
        const ErrorSlot& rec = s.error_record[r];
        ++indent;
        line(kZone, Str(n + 1), " : Call\t", Tabs{indent}, CutAtMark(rec.source), " : ", CutAtMark(rec.module), " : ",
             CutAtMark(rec.procedure));
        ++n;
        line(kZone, Str(n + 1), " : Error\t", Tabs{indent}, RuntimeError(rec, true));
        ++n;
    }
    line("");
    if (s.settings.display_mode != 0) {
        line(HollinReportText(29));
        line(s.system_report_text);
    }
    line("User Said");
    line(kZone + s.user_comment);
    line(HollinReportText(31, stop));
    if (flush && !out.empty()) flush(out);
}

std::string FormatErrorLog(const TrapState& s, const StampTime& start, const StampTime& stop) {
    std::string out;
    AppendErrorLog(s, start, stop, out);
    return out;
}

void WriteErrorLog(TrapState& s, TrapPlatform& p) {
    try {
        const StampTime start = p.Now();
        const std::string path = s.settings.log_file_path.empty() ? kDefaultErrorLog : s.settings.log_file_path;
        File f(std::fopen(path.c_str(), "ab"));
        if (!f) return;
        std::string pending;
        AppendErrorLog(s, start, p.Now(), pending, [&](std::string& text) {
            std::fwrite(text.data(), 1, text.size(), f.get());
            text.clear();
        });
    } catch (...) {
        // A report that cannot be written is left out; the error entry goes on.
    }
}

}  // namespace trap
