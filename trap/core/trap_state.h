// The trap's process-wide state: settings, call stack and trace, circular log, and the
// error record that the error entry fills and the dialog and reports read.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "settings.h"
#include "text_table.h"

namespace trap {

constexpr int32_t kMaxLevel = 1000;    // deepest level the call stack keeps
constexpr int kErrorSlots = 11;         // error record slots 0 to 10
constexpr int64_t kCurrencyScale = 10000;  // currency: 64-bit fixed point, four decimals

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// One slot of the error record.
struct ErrorSlot {
    std::string source;
    std::string module;
    std::string procedure;
    int32_t line = 0;
    int32_t number = 0;
    std::string description;
    std::string category;
    std::string help_file;
    int32_t help_context = 0;
};

struct TrapState {
    // Settings and identity, filled once by LoadSettings.
    TrapSettings settings;
    bool settings_loaded = false;
    std::string host_module_name;
    // There is no development environment to run inside in our builds, so this stays
    // false and the trap behaves as in a normal run.
    bool in_development_host = false;
    std::string exe_prefix;
    std::string project_name;
    ProgramIdentity program;
    uintptr_t remote_viewer = 0;  // the viewer's window handle; 0 = none found

    // Trace frame and call stack. The level arrays hold indexes 0 to 1000 once loaded.
    int32_t depth = 0;
    std::vector<std::string> call_stack;
    std::vector<int64_t> level_time;  // currency milliseconds
    std::vector<int16_t> level_flag;
    int32_t trace_sequence = 0;
    int64_t entry_tick = 0, push_overhead = 0, pop_overhead = 0;  // currency milliseconds
    bool trace_paused = false;

    // Circular log.
    File circular_file;
    int32_t circular_index = 0;
    bool decimal_separator_read = false;
    std::string decimal_separator;

    // The error record and what the error entry keeps beside it.
    std::array<ErrorSlot, kErrorSlots> error_record;
    int16_t hop_count = 0;         // highest slot in use
    int16_t error_level_flag = 0;  // the code pointer: LevelFlag of the failing level
    std::vector<std::string> call_tree = std::vector<std::string>(kMaxLevel + 1);
    std::string system_report_text;
    std::string user_comment;
    uint32_t error_entries = 0;  // error entries begun, to notice one inside another's dialog

    // The program-wide help file name; the error dialog sets it while it is up.
    std::string app_help_file;

    // The operating-system tag of the system report, kept between reports.
    std::string os_tag;

    bool RemoteViewerPresent() const { return remote_viewer != 0; }
    bool AnyTraceOutput() const {
        return settings.capture_to_disk || RemoteViewerPresent() || settings.circular_log_on;
    }
};

struct MemoryStatus {
    uint32_t load_percent = 0;
    uint64_t avail_physical = 0;
};

// What the trap needs of the system. The Windows shell implements it over Win32; tests
// give their own.
class TrapPlatform {
public:
    virtual ~TrapPlatform() = default;
    virtual uint32_t TickMs() = 0;                 // the multimedia timer
    virtual void PumpMessages() = 0;               // let pending messages and events through
    virtual void SetErrorMode() = 0;               // fail critical errors, no open-file box
    virtual void RaiseTimerResolution() = 0;       // 1 ms timer resolution
    virtual bool GlobalMemory(MemoryStatus& out) = 0;
    virtual StampTime Now() = 0;
    // The system's decimal separator as numbers are formatted, and the one the system
    // profile names (section "intl", key "sDecimal", one character; "" when absent).
    virtual std::string LocaleDecimalSeparator() = 0;
    virtual std::string ProfileDecimalSeparator() = 0;
    virtual std::string ProgramFolder() = 0;       // without trailing "\"
    virtual ProgramIdentity Program() = 0;
    virtual bool FileExists(const std::string& path) = 0;
    virtual std::unique_ptr<ProfileSource> OpenProfile(const std::string& path) = 0;
    virtual std::string HostModuleName() = 0;      // of the error dialog's window class
    virtual uintptr_t FindRemoteViewer() = 0;
    virtual void SendToViewer(uintptr_t viewer, const std::string& line) = 0;
    virtual void UnbalancedPopWarning(const std::string& text) = 0;
    virtual void CircularLogOpenFailed(const std::string& path) = 0;
    virtual void InternalError(int32_t number, const std::string& where) = 0;  // pfErr
};

}  // namespace trap
