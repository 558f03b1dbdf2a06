// Chooses, once per process, between advapi32's event-log functions and vteventlog.dll.
#include "platform/evtlog/evtapi.h"

#include <atomic>
#include <string>

namespace vantrel::evtapi {
namespace {

DWORD g_loadError = 0;
std::atomic<const Functions*> g_replacement{nullptr};

// Stand-ins used when the substitute is missing under Wine: each fails with the reason
// the load failed, so a caller's error text names the real cause.
HANDLE WINAPI NoOpen(LPCSTR, LPCSTR) { SetLastError(g_loadError); return nullptr; }
BOOL WINAPI NoHandle(HANDLE) { SetLastError(g_loadError); return FALSE; }
BOOL WINAPI NoRead(HANDLE, DWORD, DWORD, LPVOID, DWORD, DWORD*, DWORD*) {
    SetLastError(g_loadError);
    return FALSE;
}
BOOL WINAPI NoCount(HANDLE, PDWORD) { SetLastError(g_loadError); return FALSE; }
BOOL WINAPI NoFile(HANDLE, LPCSTR) { SetLastError(g_loadError); return FALSE; }
BOOL WINAPI NoReport(HANDLE, WORD, WORD, DWORD, PSID, WORD, DWORD, LPCSTR*, LPVOID) {
    SetLastError(g_loadError);
    return FALSE;
}
BOOL WINAPI NoNotify(HANDLE, HANDLE) { SetLastError(g_loadError); return FALSE; }

Functions Unavailable() {
    return Functions{NoOpen, NoOpen, NoHandle, NoRead, NoCount, NoCount,
                     NoFile, NoFile, NoOpen, NoHandle, NoReport, NoNotify};
}

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Folder (with trailing backslash) of the module that holds this code.
std::wstring OwnFolder() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&OwnFolder), &self))
        return {};
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) { path.resize(n); break; }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

template <class F>
bool Bind(HMODULE m, const char* name, F& out) {
    out = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
    return out != nullptr;
}

bool BindAll(HMODULE m, Functions& f) {
    return Bind(m, "OpenEventLogA", f.OpenEventLogA) &&
           Bind(m, "OpenBackupEventLogA", f.OpenBackupEventLogA) &&
           Bind(m, "CloseEventLog", f.CloseEventLog) &&
           Bind(m, "ReadEventLogA", f.ReadEventLogA) &&
           Bind(m, "GetNumberOfEventLogRecords", f.GetNumberOfEventLogRecords) &&
           Bind(m, "GetOldestEventLogRecord", f.GetOldestEventLogRecord) &&
           Bind(m, "BackupEventLogA", f.BackupEventLogA) &&
           Bind(m, "ClearEventLogA", f.ClearEventLogA) &&
           Bind(m, "RegisterEventSourceA", f.RegisterEventSourceA) &&
           Bind(m, "DeregisterEventSource", f.DeregisterEventSource) &&
           Bind(m, "ReportEventA", f.ReportEventA) &&
           Bind(m, "NotifyChangeEventLog", f.NotifyChangeEventLog);
}

struct Choice {
    Functions functions;
    Backend backend;
};

Choice Decide() {
    if (!RunningUnderWine()) {
        Functions f{};
        // advapi32 is linked into every process that uses the Win32 API; binding by name
        // keeps one code path for both backends.
        HMODULE advapi = LoadLibraryW(L"advapi32.dll");
        if (advapi && BindAll(advapi, f)) return {f, Backend::Platform};
        g_loadError = GetLastError() ? GetLastError() : ERROR_PROC_NOT_FOUND;
        return {Unavailable(), Backend::Unavailable};
    }
    std::wstring folder = OwnFolder();
    if (folder.empty()) {
        g_loadError = GetLastError() ? GetLastError() : ERROR_MOD_NOT_FOUND;
        return {Unavailable(), Backend::Unavailable};
    }
    // The full path keeps the search from picking up a copy elsewhere on the path.
    HMODULE m = LoadLibraryExW((folder + kSubstituteDll).c_str(), nullptr,
                               LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!m) {
        g_loadError = GetLastError() ? GetLastError() : ERROR_MOD_NOT_FOUND;
        return {Unavailable(), Backend::Unavailable};
    }
    Functions f{};
    if (!BindAll(m, f)) {
        g_loadError = ERROR_PROC_NOT_FOUND;
        FreeLibrary(m);
        return {Unavailable(), Backend::Unavailable};
    }
    // Stays loaded for the life of the process: the pointers are handed out freely.
    return {f, Backend::Substitute};
}

const Choice& Chosen() {
    static const Choice choice = Decide();
    return choice;
}

}  // namespace

const Functions& Get() {
    const Functions* replacement = g_replacement.load();
    return replacement ? *replacement : Chosen().functions;
}
void SetReplacement(const Functions* replacement) { g_replacement.store(replacement); }
Backend Which() { return Chosen().backend; }
DWORD LoadError() { Chosen(); return g_loadError; }

}  // namespace vantrel::evtapi
