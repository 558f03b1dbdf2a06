// One live log as every process sees it: its file, mapped, and a named shared section
// holding the lock that serialises every change and read of the file across processes,
// the log's clear generation, and the file and settings in force while any process has
// the log open.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "platform/evtlog/core/evt_ring.h"
#include "platform/evtlog/dll/file_storage.h"
#include "platform/winapi/handles.h"

namespace vantrel::evtlog {

struct SharedState {
    // The lock: 0 when free, else the owner's process id (high half) and thread id. A
    // kernel mutex costs two wineserver round trips per use, which would bound every
    // append; this costs none when uncontended.
    volatile LONG64 owner;
    uint32_t magic;
    uint32_t generation;   // raised by every clear
    uint32_t changes;      // raised by every change, for change notification
    uint32_t maxSize;
    uint32_t retention;
    uint32_t fileSize;     // the log file's size; it only grows
    wchar_t path[2048];
};

class SharedLog {
public:
    // The process's object for a log (one per log, shared by its handles), opening or
    // creating the log file. Returns a Windows error code.
    static DWORD Attach(const std::wstring& log, std::shared_ptr<SharedLog>& out);
    ~SharedLog();

    // Waits for the log's lock. A holder whose process has ended (crashed mid-call) is
    // detected while waiting and its lock taken over: every change leaves the file
    // consistent at each step (the header is written last), so the next owner goes on.
    class Lock {
    public:
        explicit Lock(SharedLog& log);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        SharedState* state_;
    };

    // These run under a Lock.
    DWORD LoadHeader(evt::Header& h, uint32_t& fileSize);
    DWORD Clear();
    DWORD Append(std::vector<uint8_t>& record, uint32_t now, uint32_t& number);
    FileStorage& storage() { return *storage_; }
    uint32_t Generation() const { return state_->generation; }
    uint32_t Changes() const { return state_->changes; }
    const std::wstring& name() const { return name_; }

private:
    SharedLog() = default;
    DWORD Open();
    DWORD FindRing(evt::Header& h, uint32_t& size);
    DWORD ShrinkToMaxSize(const evt::Header& h, uint32_t size);

    std::wstring name_;
    Handle mapping_;
    SharedState* state_ = nullptr;
    std::unique_ptr<FileStorage> storage_;
};

// Windows error code for a format-core result.
DWORD ToWin32(uint32_t coreError);
// Seconds since 1970 UTC.
uint32_t NowSeconds();

}  // namespace vantrel::evtlog
