// Trace frames, the call stack, the trace lines and their outputs.
#pragma once

#include <optional>
#include <string>

#include "trap_state.h"

namespace trap {

// Loads the settings and initialises the trap's state once; later calls do nothing.
void LoadSettings(TrapState& s, TrapPlatform& p);

// Open and close one trace frame. Neither reports a failure.
void Push(TrapState& s, TrapPlatform& p, const std::string& module, const std::string& procedure,
          const std::string& arguments);
void Pop(TrapState& s, TrapPlatform& p, const std::string& module, const std::string& procedure,
         const std::string& arguments);

// The entry or exit line of the current level; empty when it cannot be made.
std::optional<std::string> FormatTraceLine(TrapState& s, TrapPlatform& p, int64_t overhead, bool is_exit);

// Seconds as 00000.000 with a point. The number is formatted with the system's separator
// `locale_sep` and the first `separator` in it becomes "."; empty when it has none.
std::optional<std::string> FormatLocaleNumber(double seconds, const std::string& locale_sep,
                                              const std::string& separator);

// Sends one line to every trace output that is on.
void WriteCircularLog(TrapState& s, TrapPlatform& p, const std::string& line);

// Appends one line and CR LF to the log file when "Write To Disk" is on.
void AppendLogLine(const TrapState& s, const std::string& text);

// The user text of a trace line.
inline std::string TraceExtraText() { return ""; }

// The start entry of the call stack.
std::string StartEntry(const StampTime& now);

// The circular log's layout: header, record positions and contents.
constexpr int64_t kCircularHeaderPosition = 4;  // 0-based offset of the record size text
constexpr int64_t kFirstRecordOffset = 512;     // 0-based offset of record 1
constexpr size_t kMaxRecordPadding = 1024;
int64_t CircularRecordOffset(int32_t index, int32_t record_size);
std::string CircularRecord(const std::string& line, int32_t record_size);
int32_t NextCircularIndex(int32_t index, int32_t max_records);

// Opens a file for binary read and write, creating it when missing.
File OpenReadWrite(const std::string& path);
// Writes `data` at `offset`, filling any gap before it with zero bytes.
bool WriteAt(std::FILE* f, int64_t offset, const std::string& data);

}  // namespace trap
