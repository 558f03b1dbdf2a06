// vteventlog.dll: the ANSI event-log functions over EVT files, for systems whose own
// event-log service is missing (Wine). Callers reach it through the evtapi switch.
// Our definitions are the exports, not imports from advapi32.
#define _ADVAPI32_
#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/evtlog/core/ansi_record.h"
#include "platform/evtlog/core/read_cursor.h"
#include "platform/evtlog/dll/log_names.h"
#include "platform/evtlog/dll/shared_log.h"

using namespace vantrel;
using namespace vantrel::evtlog;

namespace {

enum class Kind { Live, Backup, Source };

struct LogHandle {
    Kind kind = Kind::Live;
    std::mutex lock;  // one call at a time per handle
    std::shared_ptr<SharedLog> log;  // Live and Source
    uint32_t generation = 0;         // the log's clear generation when opened
    std::unique_ptr<evt::MemoryStorage> backup;  // Backup: the whole file, read at open
    evt::Header backupHeader;
    uint32_t backupSize = 0;
    evt::RecordIndex index;
    evt::Cursor cursor;
    evt::RecordReader reader;
    std::wstring source;  // the name opened by: the source of each record reported
    Handle notify;        // event given to NotifyChangeEventLog
    uint32_t notifySeen = 0;
};

// Handles are small numbers, as the platform's are: callers keep them in 32 bits.
std::mutex g_tableLock;
std::map<uintptr_t, std::shared_ptr<LogHandle>> g_table;
uintptr_t g_nextHandle = 0x1000;

HANDLE Register(std::shared_ptr<LogHandle> h) {
    std::lock_guard<std::mutex> guard(g_tableLock);
    uintptr_t value = g_nextHandle;
    g_nextHandle += 4;
    g_table[value] = std::move(h);
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<LogHandle> Find(HANDLE handle) {
    std::lock_guard<std::mutex> guard(g_tableLock);
    auto it = g_table.find(reinterpret_cast<uintptr_t>(handle));
    return it == g_table.end() ? nullptr : it->second;
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

HANDLE FailHandle(DWORD error) {
    SetLastError(error);
    return nullptr;
}

BOOL Succeed() {
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

bool ToAnsi(void*, const char16_t* text, size_t units, std::string& out) {
    if (units == 0) return true;
    const auto* w = reinterpret_cast<const wchar_t*>(text);
    int n = WideCharToMultiByte(CP_ACP, 0, w, int(units), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    size_t at = out.size();
    out.resize(at + size_t(n));
    return WideCharToMultiByte(CP_ACP, 0, w, int(units), &out[at], n, nullptr, nullptr) == n;
}

bool ToUtf16(const std::wstring& w, std::u16string& out) {
    out.assign(w.begin(), w.end());
    return true;
}

bool SecurityPrivilegeEnabled() {
    LUID luid;
    if (!LookupPrivilegeValueW(nullptr, L"SeSecurityPrivilege", &luid)) return false;
    Handle token;
    HANDLE t = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &t) &&
        !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &t))
        return false;
    token.reset(t);
    PRIVILEGE_SET set{};
    set.PrivilegeCount = 1;
    set.Control = PRIVILEGE_SET_ALL_NECESSARY;
    set.Privilege[0].Luid = luid;
    BOOL held = FALSE;
    return PrivilegeCheck(token.get(), &set, &held) && held;
}

// Read once: the name is a registry lookup, and it changes only with a restart.
const std::u16string& ComputerName() {
    static const std::u16string name = [] {
        wchar_t buf[MAX_COMPUTERNAME_LENGTH + 1];
        DWORD n = ARRAYSIZE(buf);
        std::wstring w = GetComputerNameW(buf, &n) ? std::wstring(buf, n) : std::wstring();
        return std::u16string(w.begin(), w.end());
    }();
    return name;
}

bool IsSecurityLog(const std::wstring& log) {
    return CompareStringOrdinal(log.c_str(), -1, L"Security", -1, TRUE) == CSTR_EQUAL;
}

// Opens the live log a name leads to. Security is read only with SeSecurityPrivilege
// enabled, and no process may register a source for it: only the system writes there.
HANDLE OpenLive(LPCSTR server, LPCSTR name, Kind kind) {
    if (!name) return FailHandle(ERROR_INVALID_PARAMETER);
    if (!IsLocalComputer(server)) return FailHandle(RPC_S_SERVER_UNAVAILABLE);
    std::wstring wide = Widen(name);
    std::wstring log = ResolveLog(wide);
    if (IsSecurityLog(log)) {
        if (kind == Kind::Source) return FailHandle(ERROR_ACCESS_DENIED);
        if (!SecurityPrivilegeEnabled()) return FailHandle(ERROR_PRIVILEGE_NOT_HELD);
    }
    auto h = std::make_shared<LogHandle>();
    h->kind = kind;
    h->source = wide;
    if (DWORD r = SharedLog::Attach(log, h->log)) return FailHandle(r);
    {
        SharedLog::Lock lock(*h->log);
        h->generation = h->log->Generation();
    }
    HANDLE value = Register(std::move(h));
    SetLastError(ERROR_SUCCESS);
    return value;
}

// Runs f(storage, header, fileSize) on a live or backup handle, under the log's lock.
template <class F>
DWORD WithLog(LogHandle& h, F f) {
    if (h.kind == Kind::Backup) return f(*h.backup, h.backupHeader, h.backupSize);
    SharedLog::Lock lock(*h.log);
    evt::Header header;
    uint32_t size = 0;
    if (DWORD r = h.log->LoadHeader(header, size)) return r;
    return f(h.log->storage(), header, size);
}

// Writes a clean copy of a log file to a new file; an existing file is never replaced.
DWORD WriteBackup(evt::Storage& s, uint32_t fileSize, LPCSTR target) {
    if (!target) return ERROR_INVALID_PARAMETER;
    std::vector<uint8_t> bytes(fileSize);
    if (!s.Read(0, bytes.data(), fileSize)) return ERROR_EVENTLOG_FILE_CORRUPT;
    evt::Header h;
    if (!evt::DecodeHeader(bytes.data(), h)) return ERROR_EVENTLOG_FILE_CORRUPT;
    h.flags &= ~evt::kFlagDirty;
    evt::EncodeHeader(h, bytes.data());
    FileHandle out(CreateFileA(target, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) {
        DWORD e = GetLastError();
        return e == ERROR_FILE_EXISTS ? ERROR_ALREADY_EXISTS : e;
    }
    DWORD done = 0;
    while (done < fileSize) {
        DWORD put = 0;
        if (!WriteFile(out.get(), bytes.data() + done, fileSize - done, &put, nullptr) || !put) {
            DWORD e = GetLastError();
            out.reset();
            DeleteFileA(target);
            return e ? e : ERROR_WRITE_FAULT;
        }
        done += put;
    }
    if (!FlushFileBuffers(out.get())) return GetLastError();
    return ERROR_SUCCESS;
}

// Change notification: a thread of this process watches the change counters of the logs
// whose handles asked for it and signals their events.
std::once_flag g_watcherOnce;

DWORD WINAPI Watcher(void*) {
    for (;;) {
        Sleep(100);
        std::vector<std::shared_ptr<LogHandle>> handles;
        {
            std::lock_guard<std::mutex> guard(g_tableLock);
            for (auto& [value, h] : g_table)
                if (h->notify) handles.push_back(h);
        }
        for (auto& h : handles) {
            std::lock_guard<std::mutex> guard(h->lock);
            if (!h->notify || !h->log) continue;
            uint32_t now = h->log->Changes();
            if (now != h->notifySeen) {
                h->notifySeen = now;
                SetEvent(h->notify.get());
            }
        }
    }
}

}  // namespace

extern "C" {

HANDLE WINAPI OpenEventLogA(LPCSTR server, LPCSTR source) { return OpenLive(server, source, Kind::Live); }

HANDLE WINAPI RegisterEventSourceA(LPCSTR server, LPCSTR source) {
    return OpenLive(server, source, Kind::Source);
}

HANDLE WINAPI OpenBackupEventLogA(LPCSTR server, LPCSTR file) {
    if (!file) return FailHandle(ERROR_INVALID_PARAMETER);
    if (!IsLocalComputer(server)) return FailHandle(RPC_S_SERVER_UNAVAILABLE);
    FileHandle f(CreateFileA(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return FailHandle(GetLastError());
    auto h = std::make_shared<LogHandle>();
    h->kind = Kind::Backup;
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(f.get(), 0x7FFF0000, bytes)) return FailHandle(GetLastError());
    h->backup = std::make_unique<evt::MemoryStorage>(std::move(bytes));
    // A file still marked dirty, or whose records disagree with its header, is refused
    // as the platform refuses it.
    if (evt::LoadHeader(*h->backup, h->backupHeader, h->backupSize, true) != evt::err::kOk ||
        h->index.Refresh(*h->backup, h->backupHeader, h->backupSize) != evt::err::kOk)
        return FailHandle(ERROR_EVENTLOG_FILE_CORRUPT);
    HANDLE value = Register(std::move(h));
    SetLastError(ERROR_SUCCESS);
    return value;
}

BOOL WINAPI CloseEventLog(HANDLE handle) {
    std::shared_ptr<LogHandle> h;
    {
        std::lock_guard<std::mutex> guard(g_tableLock);
        auto it = g_table.find(reinterpret_cast<uintptr_t>(handle));
        if (it == g_table.end()) return Fail(ERROR_INVALID_HANDLE);
        h = std::move(it->second);
        g_table.erase(it);
    }
    return Succeed();
}

BOOL WINAPI DeregisterEventSource(HANDLE handle) { return CloseEventLog(handle); }

BOOL WINAPI ReadEventLogA(HANDLE handle, DWORD flags, DWORD offset, LPVOID buffer, DWORD size,
                          DWORD* bytesRead, DWORD* needed) {
    // The counts are written only on success and with ERROR_INSUFFICIENT_BUFFER. As on the
    // platform, the read's own arguments are checked before the handle.
    if (!bytesRead || !needed || !evt::ValidReadFlags(flags) || !buffer) return Fail(ERROR_INVALID_PARAMETER);
    auto h = Find(handle);
    if (!h || h->kind == Kind::Source) return Fail(ERROR_INVALID_HANDLE);
    std::lock_guard<std::mutex> guard(h->lock);
    evt::AnsiConverter converter{ToAnsi, nullptr};
    evt::ReadResult result;
    DWORD r = WithLog(*h, [&](evt::Storage& s, const evt::Header& header, uint32_t fileSize) -> DWORD {
        if (h->kind == Kind::Live) {
            if (h->log->Generation() != h->generation) return ERROR_EVENTLOG_FILE_CHANGED;
            if (DWORD e = h->index.Refresh(s, header, fileSize)) return e;
        }
        result = h->reader.Read(s, header, fileSize, h->index, h->cursor, flags, offset,
                                static_cast<uint8_t*>(buffer), size, converter);
        return result.error;
    });
    if (r == ERROR_INSUFFICIENT_BUFFER) {
        *bytesRead = 0;
        *needed = result.needed;
    }
    if (r != ERROR_SUCCESS) return Fail(r);
    *bytesRead = result.bytesRead;
    *needed = 0;
    return Succeed();
}

BOOL WINAPI GetNumberOfEventLogRecords(HANDLE handle, PDWORD count) {
    if (!count) return Fail(ERROR_INVALID_PARAMETER);
    auto h = Find(handle);
    if (!h) return Fail(ERROR_INVALID_HANDLE);
    std::lock_guard<std::mutex> guard(h->lock);
    DWORD r = WithLog(*h, [&](evt::Storage&, const evt::Header& header, uint32_t) -> DWORD {
        *count = header.Count();
        return ERROR_SUCCESS;
    });
    return r ? Fail(r) : Succeed();
}

BOOL WINAPI GetOldestEventLogRecord(HANDLE handle, PDWORD oldest) {
    if (!oldest) return Fail(ERROR_INVALID_PARAMETER);
    auto h = Find(handle);
    if (!h) return Fail(ERROR_INVALID_HANDLE);
    std::lock_guard<std::mutex> guard(h->lock);
    DWORD r = WithLog(*h, [&](evt::Storage&, const evt::Header& header, uint32_t) -> DWORD {
        *oldest = header.Count() ? header.oldestRecordNumber : 0;
        return ERROR_SUCCESS;
    });
    return r ? Fail(r) : Succeed();
}

BOOL WINAPI BackupEventLogA(HANDLE handle, LPCSTR file) {
    if (!file) return Fail(ERROR_INVALID_PARAMETER);
    auto h = Find(handle);
    if (!h || h->kind == Kind::Source) return Fail(ERROR_INVALID_HANDLE);
    std::lock_guard<std::mutex> guard(h->lock);
    DWORD r = WithLog(*h, [&](evt::Storage& s, const evt::Header&, uint32_t fileSize) -> DWORD {
        return WriteBackup(s, fileSize, file);
    });
    return r ? Fail(r) : Succeed();
}

BOOL WINAPI ClearEventLogA(HANDLE handle, LPCSTR backup) {
    auto h = Find(handle);
    if (!h || h->kind != Kind::Live) return Fail(ERROR_INVALID_HANDLE);
    std::lock_guard<std::mutex> guard(h->lock);
    DWORD r = WithLog(*h, [&](evt::Storage& s, const evt::Header&, uint32_t fileSize) -> DWORD {
        // The log is cleared only once its backup is safely written.
        if (backup && *backup)
            if (DWORD e = WriteBackup(s, fileSize, backup)) return e;
        return h->log->Clear();
    });
    return r ? Fail(r) : Succeed();
}

BOOL WINAPI ReportEventA(HANDLE handle, WORD type, WORD category, DWORD eventId, PSID sid,
                         WORD numStrings, DWORD dataSize, LPCSTR* strings, LPVOID data) {
    // A handle of either kind writes: a reader's under the name it opened the log by.
    auto h = Find(handle);
    if (!h || h->kind == Kind::Backup) return Fail(ERROR_INVALID_HANDLE);
    if (IsSecurityLog(h->log->name())) return Fail(ERROR_ACCESS_DENIED);
    if ((numStrings && !strings) || (dataSize && !data)) return Fail(ERROR_INVALID_PARAMETER);
    if (sid && !IsValidSid(sid)) return Fail(ERROR_INVALID_SID);
    evt::Event e;
    e.timeGenerated = NowSeconds();
    e.eventId = eventId;
    e.eventType = type;
    e.category = category;
    ToUtf16(h->source, e.source);
    e.computer = ComputerName();
    if (sid) {
        auto* p = static_cast<const uint8_t*>(sid);
        e.sid.assign(p, p + GetLengthSid(sid));
    }
    e.strings.resize(numStrings);
    for (WORD i = 0; i < numStrings; ++i) ToUtf16(Widen(strings[i]), e.strings[i]);
    if (dataSize) {
        auto* p = static_cast<const uint8_t*>(data);
        e.data.assign(p, p + dataSize);
    }
    std::vector<uint8_t> record = evt::EncodeRecord(e);
    if (record.empty()) return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> guard(h->lock);
    uint32_t number = 0;
    DWORD r;
    {
        SharedLog::Lock lock(*h->log);
        r = h->log->Append(record, NowSeconds(), number);
    }
    return r ? Fail(r) : Succeed();
}

BOOL WINAPI NotifyChangeEventLog(HANDLE handle, HANDLE event) {
    auto h = Find(handle);
    if (!h || h->kind != Kind::Live) return Fail(ERROR_INVALID_HANDLE);
    HANDLE copy = nullptr;
    if (!event || !DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &copy, 0, FALSE,
                                   DUPLICATE_SAME_ACCESS))
        return Fail(ERROR_INVALID_HANDLE);
    {
        std::lock_guard<std::mutex> guard(h->lock);
        h->notify.reset(copy);
        h->notifySeen = h->log->Changes();
    }
    std::call_once(g_watcherOnce, [] {
        // The thread runs for the rest of the process, so the DLL must never be unloaded
        // under it.
        HMODULE self = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCWSTR>(&Watcher), &self);
        if (HANDLE t = CreateThread(nullptr, 0, Watcher, nullptr, 0, nullptr)) CloseHandle(t);
    });
    return Succeed();
}

}  // extern "C"
