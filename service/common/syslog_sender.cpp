#include "syslog_sender.h"

#include <windows.h>

#include <vector>

#include "core/run_time_error.h"
#include "core/start_retry.h"
#include "core/syslog_text.h"
#include "platform/winapi/handles.h"

namespace vantrel::common {

bool DebugEnabled = false;

std::string ProgramsFolder() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            std::string full(path.data(), n);
            size_t slash = full.find_last_of("\\/");
            return slash == std::string::npos ? std::string() : full.substr(0, slash);
        }
        path.resize(path.size() * 2);
    }
}

void StartSyslogSender(const std::string& programs_folder, const std::string& argument) {
    std::string command = SenderCommandLine(programs_folder, argument);
    std::string program = programs_folder + "\\" + kSenderFileName;
    std::vector<char> buffer(command.begin(), command.end());
    buffer.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    const DWORD code = StartWithRetries(
        [&]() -> unsigned long {
            return ::CreateProcessA(program.c_str(), buffer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                                    nullptr, nullptr, &si, &pi)
                       ? 0
                       : ::GetLastError();
        },
        [](unsigned ms) { ::Sleep(ms); });
    if (code != 0) {
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            throw RunTimeError(kErrFileNotFound, "File not found: " + program);
        throw RunTimeError(kErrFileAccess, "Cannot start " + program + " (error " + std::to_string(code) + ")");
    }
    Handle process(pi.hProcess);
    Handle thread(pi.hThread);
}

void SendDebugSyslog(const std::string& text) {
    StartSyslogSender(ProgramsFolder(), SyslogLine(SyslogPriority(kDebugFacility, kDebugSeverity), text));
}

void DebugLog(const std::string& text) {
    if (DebugEnabled) SendDebugSyslog(text);
}

}  // namespace vantrel::common
