#include "platform/evtlog/dll/shared_log.h"

#include <cstdio>
#include <map>
#include <mutex>

#include "platform/evtlog/dll/log_names.h"

namespace vantrel::evtlog {
namespace {

constexpr uint32_t kMagic = 0x5654454C;  // marks an initialised section

std::wstring ObjectName(const wchar_t* kind, const std::wstring& log) {
    // Kernel object names may not hold backslashes; a hash of the upper-cased log name
    // keeps them short and equal for every spelling of the name.
    uint64_t h = 1469598103934665603ull;
    for (wchar_t c : Upper(log)) {
        h ^= uint16_t(c);
        h *= 1099511628211ull;
    }
    wchar_t buf[96];
    swprintf(buf, 96, L"Global\\vteventlog.%ls.%016llx", kind, static_cast<unsigned long long>(h));
    return buf;
}

void CreateParents(const std::wstring& path) {
    for (size_t i = path.find(L'\\', 3); i != std::wstring::npos; i = path.find(L'\\', i + 1))
        CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
}

std::mutex g_logsLock;
std::map<std::wstring, std::weak_ptr<SharedLog>> g_logs;

}  // namespace

DWORD ToWin32(uint32_t coreError) { return coreError; }

// Not time(): the C runtime's reads the time zone on every call, a registry and file
// lookup under Wine.
uint32_t NowSeconds() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    uint64_t t = (uint64_t(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) / 10000000;
    return uint32_t(t - 11644473600ull);
}

namespace {

bool ProcessEnded(DWORD pid) {
    HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!p) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
    bool ended = WaitForSingleObject(p, 0) == WAIT_OBJECT_0;
    CloseHandle(p);
    return ended;
}

// The first 'size' bytes of a storage, read-only: a file seen as if it were that long.
class FirstBytes : public evt::Storage {
public:
    FirstBytes(evt::Storage& s, uint32_t size) : s_(s), size_(size) {}
    bool Read(uint32_t offset, void* buffer, uint32_t count) override {
        return uint64_t(offset) + count <= size_ && s_.Read(offset, buffer, count);
    }
    bool Write(uint32_t, const void*, uint32_t) override { return false; }
    bool Size(uint32_t& size) override {
        size = size_;
        return true;
    }
    bool SetSize(uint32_t) override { return false; }

private:
    evt::Storage& s_;
    uint32_t size_;
};

// The lock's owner value for the calling thread.
LONG64 OwnerId() { return LONG64(uint64_t(GetCurrentProcessId()) << 32 | GetCurrentThreadId()); }

}  // namespace

SharedLog::Lock::Lock(SharedLog& log) : state_(log.state_) {
    const LONG64 me = OwnerId();
    for (unsigned spin = 0;; ++spin) {
        if (state_->owner == 0 && InterlockedCompareExchange64(&state_->owner, me, 0) == 0) return;
        if (spin < 100) {
            YieldProcessor();
        } else if (spin < 1000) {
            SwitchToThread();
        } else {
            Sleep(1);
            if (spin % 64 == 0) {
                LONG64 holder = state_->owner;
                DWORD pid = DWORD(uint64_t(holder) >> 32);
                if (holder && pid != GetCurrentProcessId() && ProcessEnded(pid))
                    InterlockedCompareExchange64(&state_->owner, 0, holder);
            }
        }
    }
}

SharedLog::Lock::~Lock() { InterlockedExchange64(&state_->owner, 0); }

SharedLog::~SharedLog() {
    if (storage_ && state_) {
        // The last process to let go of a log whose shrink was held up completes it. Only
        // when the lock is free at once: this may run while the process ends, after its
        // other threads were stopped, perhaps one of them inside the lock.
        if (InterlockedCompareExchange64(&state_->owner, OwnerId(), 0) == 0) {
            storage_->TrimTail();
            InterlockedExchange64(&state_->owner, 0);
        }
    }
    storage_.reset();
    if (state_) UnmapViewOfFile(state_);
}

DWORD SharedLog::Attach(const std::wstring& log, std::shared_ptr<SharedLog>& out) {
    std::lock_guard<std::mutex> guard(g_logsLock);
    std::wstring key = Upper(log);
    if (auto existing = g_logs[key].lock()) {
        out = existing;
        return ERROR_SUCCESS;
    }
    std::shared_ptr<SharedLog> l(new SharedLog());
    l->name_ = log;
    l->mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                         sizeof(SharedState), ObjectName(L"state", log).c_str()));
    if (!l->mapping_) return GetLastError();
    l->state_ = static_cast<SharedState*>(
        MapViewOfFile(l->mapping_.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(SharedState)));
    if (!l->state_) return GetLastError();
    DWORD r;
    {
        Lock lock(*l);
        r = l->Open();
    }
    if (r != ERROR_SUCCESS) return r;
    g_logs[key] = l;
    out = l;
    return ERROR_SUCCESS;
}

// Under the lock. The first process to open the log since every handle closed takes the
// registry's File, MaxSize and Retention; everyone after it uses the same file.
DWORD SharedLog::Open() {
    if (state_->magic != kMagic) {
        LogConfig config = ReadLogConfig(name_);
        if (config.path.size() >= ARRAYSIZE(state_->path)) return ERROR_FILENAME_EXCED_RANGE;
        wcscpy(state_->path, config.path.c_str());
        state_->maxSize = config.settings.maxSize;
        state_->retention = config.settings.retention;
        state_->generation = 1;
        state_->changes = 0;
        state_->fileSize = 0;
        state_->magic = kMagic;
    }
    auto create = [&] {
        return CreateFileW(state_->path, GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    FileHandle file(create());
    if (!file && GetLastError() == ERROR_PATH_NOT_FOUND) {
        CreateParents(state_->path);
        file.reset(create());
    }
    if (!file) return GetLastError();
    LARGE_INTEGER actual;
    if (!GetFileSizeEx(file.get(), &actual)) return GetLastError();
    if (actual.QuadPart > 0x7FFF0000) return ERROR_EVENTLOG_FILE_CORRUPT;
    // The first opener takes the size from the file itself, as does one that finds the
    // file shorter than the log (cut behind its back); a longer file is a shrink that
    // another process's view held up, and the log stays in its first bytes.
    const bool first = state_->fileSize == 0;
    if (first || state_->fileSize > uint32_t(actual.QuadPart)) state_->fileSize = uint32_t(actual.QuadPart);
    storage_ = std::make_unique<FileStorage>(std::move(file), &state_->fileSize);
    uint32_t size = state_->fileSize;
    evt::Header h;
    const evt::Settings settings{state_->maxSize, state_->retention};
    if (size == 0) return ToWin32(evt::CreateLog(*storage_, settings, h));
    if (first) {
        if (DWORD r = FindRing(h, size)) return r;
        return ShrinkToMaxSize(h, size);
    }
    return ERROR_SUCCESS;
}

// The size of the ring in a file opened afresh: the file's length, unless the header
// names a smaller maximum that the records agree with (a file whose shrink was held up).
DWORD SharedLog::FindRing(evt::Header& h, uint32_t& size) {
    uint8_t raw[evt::kHeaderSize];
    if (storage_->Read(0, raw, evt::kHeaderSize) && evt::DecodeHeader(raw, h) && h.maxSize < size &&
        h.maxSize >= evt::kSizeStep && h.maxSize % evt::kSizeStep == 0) {
        FirstBytes view(*storage_, h.maxSize);
        evt::Header probe;
        uint32_t probeSize = 0;
        evt::RecordIndex check;
        if (evt::LoadHeader(view, probe, probeSize, false) == evt::err::kOk &&
            check.Refresh(view, probe, probeSize) == evt::err::kOk) {
            storage_->SetSize(h.maxSize);
            size = h.maxSize;
        }
    }
    // A log left marked dirty (a copy taken while the platform had it open) or with a
    // header that disagrees with its records is brought back from its end-of-file record,
    // as an administrator would repair it; if that fails too it stays refused.
    evt::RecordIndex check;
    if (evt::LoadHeader(*storage_, h, size, false) == evt::err::kOk && !(h.flags & evt::kFlagDirty) &&
        check.Refresh(*storage_, h, size) == evt::err::kOk)
        return ERROR_SUCCESS;
    return evt::RepairHeader(*storage_, h) == evt::err::kOk ? ERROR_SUCCESS : ERROR_EVENTLOG_FILE_CORRUPT;
}

// A log opened afresh whose file is larger than its MaxSize now allows keeps the newest
// records that fit, as far as its retention lets the older ones go; otherwise it stays
// as it is until the next clear.
DWORD SharedLog::ShrinkToMaxSize(const evt::Header& h, uint32_t size) {
    if (size <= evt::EffectiveMaxSize(state_->maxSize)) return ERROR_SUCCESS;
    evt::MemoryStorage out;
    evt::Header shrunk;
    if (evt::ShrinkLog(*storage_, h, size, {state_->maxSize, state_->retention}, NowSeconds(), out, shrunk) !=
        evt::err::kOk)
        return ERROR_SUCCESS;
    // The new log goes in first and the file is cut after: a file left longer by a
    // crash in between is read by its header's maximum (FindRing).
    const auto& bytes = out.bytes();
    if (!storage_->Write(0, bytes.data(), uint32_t(bytes.size())) || !storage_->SetSize(uint32_t(bytes.size())))
        return ERROR_EVENTLOG_FILE_CORRUPT;
    return ERROR_SUCCESS;
}

DWORD SharedLog::LoadHeader(evt::Header& h, uint32_t& fileSize) {
    return ToWin32(evt::LoadHeader(*storage_, h, fileSize, false));
}

DWORD SharedLog::Clear() {
    // A cleared log holds no records, so the registry's current size and retention can
    // take effect now without disturbing anyone; the file stays where it is.
    LogConfig config = ReadLogConfig(name_);
    state_->maxSize = config.settings.maxSize;
    state_->retention = config.settings.retention;
    // A lowered MaxSize shrinks the file now (or as far as other processes' views allow).
    uint32_t target = evt::EffectiveMaxSize(state_->maxSize);
    if (state_->fileSize > target && !storage_->SetSize(target)) return ERROR_EVENTLOG_FILE_CORRUPT;
    storage_->TrimTail();
    evt::Header h;
    DWORD r = ToWin32(evt::CreateLog(*storage_, {state_->maxSize, state_->retention}, h));
    ++state_->generation;
    ++state_->changes;
    return r;
}

DWORD SharedLog::Append(std::vector<uint8_t>& record, uint32_t now, uint32_t& number) {
    evt::Header h;
    uint32_t size = 0;
    if (DWORD r = LoadHeader(h, size)) return r;
    DWORD r = ToWin32(evt::AppendRecord(*storage_, h, size, {state_->maxSize, state_->retention},
                                        record, now, number));
    ++state_->changes;
    return r;
}

}  // namespace vantrel::evtlog
