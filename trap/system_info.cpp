// The system-information report: the facts from the system's queries, formatted by the
// portable core.
#include <windows.h>
#include <tlhelp32.h>

#include "core/system_report.h"
#include "hollin.h"
#include "platform/winapi/handles.h"
#include "win_platform.h"

namespace trap {
namespace {

constexpr DWORD kFullAccess = 0x1F0FFF;  // PROCESS_ALL_ACCESS as the report asks for it

std::string LocaleText(LCTYPE type) {
    char buf[16] = {};
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buf, sizeof buf) > 0 ? std::string(buf) : std::string();
}

std::string Profile(const char* file, const char* section, const char* key) {
    return ReadProfile(file, section, key, "<Unknown>", 255);
}

// Last-modified time in the system's general date format: short date and time.
std::optional<std::string> GeneralDate(const FILETIME& utc) {
    FILETIME local;
    SYSTEMTIME t;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &t)) return std::nullopt;
    char date[80] = {}, time[80] = {};
    if (!GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, date, sizeof date) ||
        !GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &t, nullptr, time, sizeof time))
        return std::nullopt;
    return std::string(date) + " " + time;
}

// The module entry of a process whose module id equals `module_id`. Process entries
// of the NT family carry module id 0 (the field is unused there); for them the
// process's first module, its executable, is taken, or no process would ever be listed.
bool FindProcessModule(DWORD process_id, DWORD module_id, MODULEENTRY32& entry, DWORD entry_size) {
    vantrel::FileHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process_id));
    if (!snap) return false;
    MODULEENTRY32 m{};
    m.dwSize = entry_size;
    if (!Module32First(snap.get(), &m)) return false;
    const MODULEENTRY32 first = m;
    do {
        if (m.th32ModuleID == module_id) {
            entry = m;
            return true;
        }
    } while (Module32Next(snap.get(), &m));
    if (module_id != 0) return false;
    entry = first;
    return true;
}

std::vector<ProcessFacts> ProcessList() {
    std::vector<ProcessFacts> list;
    vantrel::FileHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap) return list;
    PROCESSENTRY32 p{};
    p.dwSize = sizeof p;
    if (!Process32First(snap.get(), &p)) return list;
    do {
        MODULEENTRY32 m{};
        if (!FindProcessModule(p.th32ProcessID, p.th32ModuleID, m, sizeof m)) continue;
        vantrel::Handle process(OpenProcess(kFullAccess, FALSE, p.th32ProcessID));
        if (!process) continue;
        process.reset();
        list.push_back({m.szModule, p.th32ProcessID, p.cntThreads, m.szExePath});
    } while (Process32Next(snap.get(), &p));
    return list;
}

SystemFacts GatherFacts(const TrapState& s, WinPlatform& platform) {
    SystemFacts f;
    char name[256] = {};
    DWORD size = sizeof name;
    if (GetComputerNameA(name, &size)) f.computer_name = std::string(name, size);

    const ProgramIdentity id = platform.Program();
    f.title = id.name;
    f.path = id.folder;
    f.project_version = std::to_string(id.major) + "." + std::to_string(id.minor) + "." + std::to_string(id.revision);
    f.ole_server = false;  // the service is never started as an automation server
    f.previous_instance = platform.PreviousInstance();
    f.in_development_host = s.in_development_host;
    f.exe_name = id.name;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExA((id.folder + "\\" + id.name + ".dll").c_str(), GetFileExInfoStandard, &data)) {
        f.exe_time_stamp = GeneralDate(data.ftLastWriteTime);
        f.exe_size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }

    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    if (GetVersionExA(&v)) {
        f.version = SystemFacts::Version{v.dwPlatformId, v.dwMajorVersion, v.dwMinorVersion, v.dwBuildNumber,
                                         std::string(v.szCSDVersion, sizeof v.szCSDVersion)};
    }
    f.debug_kernel = GetSystemMetrics(SM_DEBUG) != 0;
    f.language = Profile("System.ini", "boot.description", "language.dll");
    char dir[256] = {};
    const UINT n = GetWindowsDirectoryA(dir, 255);
    f.windows_directory = std::string(dir, n < 255 ? n : 0);
    const DWORD cur = GetCurrentDirectoryA(0, nullptr);
    if (cur) {
        std::string c(cur, '\0');
        const DWORD got = GetCurrentDirectoryA(cur, c.data());
        c.resize(got < cur ? got : 0);
        f.current_directory = c;
    }

    MEMORYSTATUSEX m{};
    m.dwLength = sizeof m;
    if (GlobalMemoryStatusEx(&m))
        f.memory = SystemFacts::Memory{m.ullTotalPhys, m.ullAvailPhys, m.ullTotalVirtual, m.ullAvailVirtual};

    SYSTEM_INFO si{};
    GetSystemInfo(&si);
    f.processor = SystemFacts::Processor{si.dwProcessorType, si.wProcessorLevel, si.wProcessorRevision,
                                         si.dwNumberOfProcessors};

    char drives[128] = {};
    const DWORD chars = GetLogicalDriveStringsA(sizeof drives, drives);
    if (chars > 0 && chars < sizeof drives) {
        f.drive_strings = std::string(drives, chars);
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            const char root[] = {letter, ':', '\\', '\0'};
            SystemFacts::Drive d;
            d.letter = letter;
            d.type = GetDriveTypeA(root);
            if (d.type == DRIVE_FIXED) {
                ULARGE_INTEGER avail{}, total{}, free{};
                if (GetDiskFreeSpaceExA(root, &avail, &total, &free)) d.free_bytes = avail.QuadPart;
            }
            f.drives.push_back(d);
        }
    }

    f.printer = Profile("win.ini", "windows", "device");
    f.serial_driver = Profile("system.ini", "boot", "comm.drv");
    const char* const ports[] = {"com1:", "com2:", "com3:", "com4:"};
    for (int i = 0; i < 4; ++i) f.com[i] = Profile("win.ini", "ports", ports[i]);
    f.network_driver = Profile("System.ini", "boot", "network.drv");
    f.network_description = Profile("System.ini", "boot.description", "network.drv");
    f.video_driver = Profile("System.ini", "boot", "display.drv");
    f.video_description = Profile("System.ini", "boot.description", "display.drv");
    if (HDC screen = GetDC(nullptr)) {
        f.bits_per_pixel = static_cast<uint32_t>(GetDeviceCaps(screen, BITSPIXEL));
        ReleaseDC(nullptr, screen);
    }
    f.screen_width = GetSystemMetrics(SM_CXSCREEN);
    f.screen_height = GetSystemMetrics(SM_CYSCREEN);
    f.mouse_present = GetSystemMetrics(SM_MOUSEPRESENT) != 0;
    f.mouse_driver = Profile("System.ini", "boot", "mouse.drv");
    f.mouse_description = Profile("System.ini", "boot.description", "mouse.drv");
    f.keyboard_driver = Profile("System.ini", "boot", "keyboard.drv");
    f.keyboard_description = Profile("System.ini", "boot.description", "keyboard.typ");
    return f;
}

}  // namespace

std::string SystemInfoReport() {
    try {
        HCURSOR previous = SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
        Platform().PumpMessages();
        TrapState& s = Globals();
        auto& platform = static_cast<WinPlatform&>(Platform());
        const SystemFacts facts = GatherFacts(s, platform);
        std::string report =
            FormatSystemReport(facts, s.os_tag, LocaleText(LOCALE_STHOUSAND), LocaleText(LOCALE_SDECIMAL), ProcessList);
        SetCursor(previous ? previous : LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
        return report;
    } catch (...) {
        return {};
    }
}

}  // namespace trap
