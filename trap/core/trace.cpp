#include "trace.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cmath>

#include "raise.h"

namespace trap {
namespace {

// Milliseconds (as currency) since the start tick. The multimedia timer wraps after
// 49.7 days; the difference is taken modulo 2^32 so that the elapsed time stays right.
int64_t Elapsed(const TrapState& s, TrapPlatform& p) {
    const uint32_t start = s.level_time.empty() ? 0u : static_cast<uint32_t>(s.level_time[0] / kCurrencyScale);
    return static_cast<int64_t>(static_cast<uint32_t>(p.TickMs() - start)) * kCurrencyScale;
}

bool LevelStored(const TrapState& s, int32_t level) {
    return level >= 0 && level <= kMaxLevel && static_cast<size_t>(level) < s.call_stack.size() &&
           static_cast<size_t>(level) < s.level_time.size() && static_cast<size_t>(level) < s.level_flag.size();
}

void NextSequence(TrapState& s) {
    if (s.trace_sequence < INT32_MAX) ++s.trace_sequence;
}

std::string UnbalancedPopText(const std::string& module, const std::string& procedure) {
    return HollinReportText(19) + "\t" + module + "\r\n" + HollinReportText(30) + "\t" + procedure + "\r\n\r\n" +
           HollinReportText(48) + "\r\n\r\n" + HollinReportText(49) + "\r\n\r\n" + HollinReportText(50) + "\r\n" +
           HollinReportText(51);
}

}  // namespace

std::string StartEntry(const StampTime& now) {
    return HollinReportText(32) + " <" + StampDate(now) + ", " + StampClock(now) + ">";
}

void LoadSettings(TrapState& s, TrapPlatform& p) {
    if (s.settings_loaded) return;
    const std::string folder = TrimFolder(p.ProgramFolder());
    const std::string ini_path = folder + "\\" + HollinIniName();
    std::unique_ptr<ProfileSource> ini = p.OpenProfile(ini_path);

    ReadCircularSettings(*ini, folder, s.settings);
    if (s.settings.circular_log_on) {
        File f = OpenReadWrite(s.settings.circular_log_path);
        if (f) WriteAt(f.get(), kCircularHeaderPosition, std::to_string(s.settings.record_size) + "HM100");
        f.reset();
        s.circular_file = OpenReadWrite(s.settings.circular_log_path);
        s.settings.circular_log_on = static_cast<bool>(s.circular_file);
    }
    p.RaiseTimerResolution();
    s.call_stack.assign(kMaxLevel + 1, std::string());
    s.level_time.assign(kMaxLevel + 1, 0);
    s.level_flag.assign(kMaxLevel + 1, 0);
    s.settings_loaded = true;
    s.call_stack[0] = StartEntry(p.Now());
    p.SetErrorMode();

    try {
        if (p.FileExists(ini_path)) ReadIniSettings(*ini, folder, s.settings);
        s.host_module_name = p.HostModuleName();
        // No development environment exists for our builds: see TrapState.
        s.in_development_host = false;
        s.program = p.Program();
        s.exe_prefix = "[" + s.program.name + "] ";
        s.level_time[0] = static_cast<int64_t>(p.TickMs()) * kCurrencyScale;
        s.remote_viewer = p.FindRemoteViewer();
        WriteCircularLog(s, p, s.exe_prefix + HollinReportText(20, p.Now()) + "\r\n");
    } catch (...) {
        p.InternalError(CurrentRunTimeError().number, "HollinSTART()");
        return;
    }
    // The project that raises this program's own errors is the program itself.
    s.project_name = s.program.name;
}

void Push(TrapState& s, TrapPlatform& p, const std::string& module, const std::string& procedure,
          const std::string& arguments) {
    try {
        LoadSettings(s, p);
        if (s.RemoteViewerPresent() && s.trace_sequence == 0) s.entry_tick = Elapsed(s, p);
        while (s.trace_paused) p.PumpMessages();
        if (s.depth < INT32_MAX) ++s.depth;
        // Levels above 1000 are counted but not stored, so the depth stays balanced.
        if (s.depth >= 1 && LevelStored(s, s.depth)) {
            std::string& entry = s.call_stack[s.depth];
            entry = std::string(s.depth - 1, '\t') + module + " : " + procedure + " : " + arguments;
            if (s.AnyTraceOutput()) {
                s.level_flag[s.depth] = 0;
                NextSequence(s);
                if (auto line = FormatTraceLine(s, p, s.push_overhead, false)) WriteCircularLog(s, p, *line);
            }
            entry = " " + std::to_string(s.depth) + " : " + entry;
        }
        p.SetErrorMode();
        if (s.entry_tick != 0) {
            s.push_overhead = Elapsed(s, p) - s.entry_tick;
            s.entry_tick = 0;
        }
    } catch (...) {
        // The trap never passes a failure back to the traced procedure.
    }
}

void Pop(TrapState& s, TrapPlatform& p, const std::string& module, const std::string& procedure,
         const std::string& /*arguments: the pop names the same frame*/) {
    try {
        if (s.RemoteViewerPresent() && s.trace_sequence == 1) s.entry_tick = Elapsed(s, p);
        while (s.trace_paused) p.PumpMessages();
        if (s.depth > kMaxLevel) {
            --s.depth;
        } else if (s.depth >= 1 && LevelStored(s, s.depth) &&
                   s.call_stack[s.depth].find(module + " : " + procedure) != std::string::npos) {
            if (s.AnyTraceOutput()) {
                NextSequence(s);
                if (auto line = FormatTraceLine(s, p, s.pop_overhead, true)) WriteCircularLog(s, p, *line);
            }
            s.call_stack[s.depth].clear();
            s.level_flag[s.depth] = 0;
            --s.depth;
        } else {
            // Unbalanced (entry 0, the start text, never balances a pop): start again at 0.
            s.depth = 0;
            ErrorSlot& slot = s.error_record[0];
            const bool marked = slot.module.find(" << ") != std::string::npos &&
                                slot.procedure.find(" << ") != std::string::npos;
            if (s.in_development_host && !marked) p.UnbalancedPopWarning(UnbalancedPopText(module, procedure));
            slot.module.clear();
            slot.procedure.clear();
        }
        if (s.entry_tick != 0) {
            s.pop_overhead = Elapsed(s, p) - s.entry_tick;
            s.entry_tick = 0;
        }
    } catch (...) {
        // As for Push.
    }
}

std::optional<std::string> FormatLocaleNumber(double seconds, const std::string& locale_sep,
                                              const std::string& separator) {
    if (!std::isfinite(seconds) || separator.empty()) return std::nullopt;
    const long long thousandths = std::llround(std::fabs(seconds) * 1000.0);
    char whole[32], fraction[8];
    std::snprintf(whole, sizeof whole, "%05lld", thousandths / 1000);
    std::snprintf(fraction, sizeof fraction, "%03lld", thousandths % 1000);
    std::string text = (seconds < 0 && thousandths != 0 ? "-" : "") + std::string(whole) + locale_sep + fraction;
    const size_t at = text.find(separator);
    if (at == std::string::npos) return std::nullopt;
    text.replace(at, separator.size(), ".");
    return text;
}

std::optional<std::string> FormatTraceLine(TrapState& s, TrapPlatform& p, int64_t overhead, bool is_exit) {
    if (!LevelStored(s, s.depth)) return std::nullopt;
    s.level_time[s.depth] = Elapsed(s, p) - overhead;
    const double seconds = static_cast<double>(s.level_time[s.depth]) / kCurrencyScale / 1000.0;
    if (!s.decimal_separator_read) {
        s.decimal_separator = p.ProfileDecimalSeparator();
        // A profile without the entry leaves the system's own separator in force.
        if (s.decimal_separator.empty()) s.decimal_separator = p.LocaleDecimalSeparator();
        s.decimal_separator_read = true;
    }
    const auto number = FormatLocaleNumber(seconds, p.LocaleDecimalSeparator(), s.decimal_separator);
    if (!number) return std::nullopt;

    char sequence[16];
    std::snprintf(sequence, sizeof sequence, "%05d", s.trace_sequence);
    const std::string& entry = s.call_stack[s.depth];
    std::string line = s.exe_prefix + "[" + sequence + "] [" + *number + "]";
    if (is_exit) {
        const size_t cut = entry.find(" : ");
        line += " <-" + (cut == std::string::npos ? std::string() : entry.substr(cut + 3));
    } else {
        line += " ->" + entry;
    }

    if (!s.settings.include_arguments) {
        const size_t first = line.find(':');
        const size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second != std::string::npos) {
            line.resize(second);
            while (!line.empty() && line.back() == ' ') line.pop_back();
        } else if (!line.empty()) {
            line.pop_back();
        }
    }

    if (s.settings.include_memory || s.settings.include_resources) {
        MemoryStatus m;
        if (p.GlobalMemory(m)) {
            if (s.settings.include_resources) {
                line += " : [res = " + std::to_string(m.load_percent) + "%";
                line += s.settings.include_memory ? ", mem = " + std::to_string(m.avail_physical) + "]" : "]";
            } else {
                line += " : [mem = " + std::to_string(m.avail_physical) + "]";
            }
        }
    }
    if (s.settings.include_user) line += " : " + TraceExtraText();
    return line + "\r\n";
}

int64_t CircularRecordOffset(int32_t index, int32_t record_size) {
    return kFirstRecordOffset + static_cast<int64_t>(index - 1) * record_size;
}

std::string CircularRecord(const std::string& line, int32_t record_size) {
    std::string record = line + std::string(kMaxRecordPadding, '\0');
    record.resize(std::min(record.size(), static_cast<size_t>(record_size > 0 ? record_size : 0)));
    return record;
}

int32_t NextCircularIndex(int32_t index, int32_t max_records) {
    ++index;
    return index > max_records ? 1 : index;
}

File OpenReadWrite(const std::string& path) {
    File f(std::fopen(path.c_str(), "r+b"));
    if (!f) f.reset(std::fopen(path.c_str(), "w+b"));
    return f;
}

bool WriteAt(std::FILE* f, int64_t offset, const std::string& data) {
    if (!f || offset < 0 || std::fseek(f, 0, SEEK_END) != 0) return false;
    const long end = std::ftell(f);
    if (end < 0) return false;
    if (end < offset) {
        const std::string gap(static_cast<size_t>(offset - end), '\0');
        if (std::fwrite(gap.data(), 1, gap.size(), f) != gap.size()) return false;
    }
    if (std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0) return false;
    return std::fwrite(data.data(), 1, data.size(), f) == data.size() && std::fflush(f) == 0;
}

void AppendLogLine(const TrapState& s, const std::string& text) {
    if (!s.settings.write_to_disk) return;
    File f(std::fopen(s.settings.log_file_path.c_str(), "ab"));
    if (!f) return;
    const std::string line = text + "\r\n";
    std::fwrite(line.data(), 1, line.size(), f.get());
}

void WriteCircularLog(TrapState& s, TrapPlatform& p, const std::string& line) {
    if (s.settings.capture_to_disk) AppendLogLine(s, line);
    if (s.settings.circular_log_on) {
        if (!s.circular_file) {
            s.circular_file = OpenReadWrite(s.settings.circular_log_path);
            if (!s.circular_file) {
                if (s.in_development_host) p.CircularLogOpenFailed(s.settings.circular_log_path);
                s.settings.circular_log_on = false;
            } else {
                WriteAt(s.circular_file.get(), 0, "HM100");
            }
        }
        if (s.settings.circular_log_on) {
            s.circular_index = NextCircularIndex(s.circular_index, s.settings.max_records);
            WriteAt(s.circular_file.get(),
                    CircularRecordOffset(s.circular_index, s.settings.record_size),
                    CircularRecord(line, s.settings.record_size));
            // Close and reopen so that every record reaches the disk at once.
            s.circular_file.reset();
            s.circular_file = OpenReadWrite(s.settings.circular_log_path);
        }
    }
    if (s.RemoteViewerPresent()) p.SendToViewer(s.remote_viewer, line);
}

}  // namespace trap
