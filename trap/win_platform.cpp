#include "win_platform.h"

#include <mmsystem.h>

#include <vector>

#include "hollin.h"
#include "platform/winapi/handles.h"

namespace trap {
namespace {

class PrivateProfile : public ProfileSource {
public:
    explicit PrivateProfile(std::string path) : path_(std::move(path)) {}
    std::string Read(const std::string& section, const std::string& key, const std::string& fallback,
                     size_t size) override {
        return ReadProfile(path_.c_str(), section.c_str(), key.c_str(), fallback.c_str(), static_cast<DWORD>(size));
    }

private:
    std::string path_;
};

std::string LocaleInfo(LCTYPE type) {
    char buf[16] = {};
    const int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buf, sizeof buf);
    return n > 0 ? std::string(buf) : std::string();
}

// Kept for the life of the process: its existence tells later instances about this one.
vantrel::Handle g_instance_mutex;

}  // namespace

std::string ProgramPath() {
    std::vector<char> buf(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return std::string(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string NameWithoutExtension(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string ReadProfile(const char* file, const char* section, const char* key, const char* fallback, DWORD size) {
    std::vector<char> buf(size + 1, '\0');
    const DWORD n = GetPrivateProfileStringA(section, key, fallback, buf.data(), size, file);
    return std::string(buf.data(), n);
}

WinPlatform::WinPlatform() {
    const std::string name = "Local\\Hollin.Instance." + NameWithoutExtension(ProgramPath());
    g_instance_mutex.reset(CreateMutexA(nullptr, FALSE, name.c_str()));
    previous_instance_ = g_instance_mutex && GetLastError() == ERROR_ALREADY_EXISTS;
}

uint32_t WinPlatform::TickMs() { return timeGetTime(); }

void WinPlatform::PumpMessages() {
    MSG msg;
    bool any = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        any = true;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    // Callers loop on this while the trace is paused: wait briefly for input instead of spinning.
    if (!any) MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void WinPlatform::SetErrorMode() { ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX); }

void WinPlatform::RaiseTimerResolution() {
    if (!timer_raised_) timer_raised_ = timeBeginPeriod(1) == TIMERR_NOERROR;
}

bool WinPlatform::GlobalMemory(MemoryStatus& out) {
    MEMORYSTATUSEX m{};
    m.dwLength = sizeof m;
    if (!GlobalMemoryStatusEx(&m)) return false;
    out.load_percent = m.dwMemoryLoad;
    out.avail_physical = m.ullAvailPhys;
    return true;
}

StampTime WinPlatform::Now() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

std::string WinPlatform::LocaleDecimalSeparator() { return LocaleInfo(LOCALE_SDECIMAL); }

std::string WinPlatform::ProfileDecimalSeparator() {
    char buf[2] = {};
    GetProfileStringA("intl", "sDecimal", "", buf, sizeof buf);
    return buf;
}

std::string WinPlatform::ProgramFolder() { return FolderOf(ProgramPath()); }

ProgramIdentity WinPlatform::Program() {
    ProgramIdentity id;
    const std::string path = ProgramPath();
    id.folder = FolderOf(path);
    id.name = NameWithoutExtension(path);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return id;  // no version resource: version 0.0.0
    std::vector<char> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (GetFileVersionInfoA(path.c_str(), 0, size, data.data()) &&
        VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &len) && info && len >= sizeof *info) {
        id.major = HIWORD(info->dwFileVersionMS);
        id.minor = LOWORD(info->dwFileVersionMS);
        id.revision = HIWORD(info->dwFileVersionLS);  // FILEVERSION major,minor,revision,0
    }
    return id;
}

bool WinPlatform::FileExists(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::unique_ptr<ProfileSource> WinPlatform::OpenProfile(const std::string& path) {
    return std::make_unique<PrivateProfile>(path);
}

std::string WinPlatform::HostModuleName() { return ErrorDialogHostModule(); }

uintptr_t WinPlatform::FindRemoteViewer() { return reinterpret_cast<uintptr_t>(FindRemoteViewerWindow()); }

void WinPlatform::SendToViewer(uintptr_t viewer, const std::string& line) {
    SendLineToViewer(reinterpret_cast<HWND>(viewer), line);
}

void WinPlatform::UnbalancedPopWarning(const std::string& text) {
    const int choice = MessageBoxA(nullptr, text.c_str(), HollinReportText(53).c_str(),
                                   MB_ICONEXCLAMATION | MB_OKCANCEL);
    if (choice == IDOK && IsDebuggerPresent()) DebugBreak();
}

void WinPlatform::CircularLogOpenFailed(const std::string& path) {
    MessageBoxA(nullptr, ("Could not open circular log file " + path).c_str(), nullptr, MB_ICONSTOP | MB_OK);
}

void WinPlatform::InternalError(int32_t number, const std::string& where) { pfErr(number, where); }

}  // namespace trap
