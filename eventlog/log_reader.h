// What the two readers (a live log and a backup file) share: the handle, the read and SID
// caches, record decoding, counts and backup.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "core/sid_cache.h"
#include "lorvex.h"
#include "record_cache.h"

namespace lorvex {

class LogReader {
public:
    explicit LogReader(REFCLSID clsid) : clsid_(clsid) {}
    LogReader(const LogReader&) = delete;
    LogReader& operator=(const LogReader&) = delete;
    ~LogReader() { Close(); }

    HANDLE handle() const { return handle_; }
    bool is_open() const { return handle_ != nullptr; }
    void Opened(HANDLE h) { handle_ = h; }
    // Closes the handle and releases the read cache; the SID cache stays.
    void Close();

    // Reads record n through the read cache and decodes it; the failure of the cache is
    // returned as it is, so that the caller can decide about retrying.
    HRESULT ReadRecord(long n, IEventLogRecord** record);

    HRESULT Oldest(long* value);
    HRESULT Count(long* value);
    HRESULT Backup(BSTR file_name);

    long cache_size() const { return cache_size_; }
    void set_cache_size(long size);
    long search_order = LORVEX_MSG_FILES_REMOTE_THEN_LOCAL;
    std::wstring computer_name;

private:
    CLSID clsid_;
    HANDLE handle_ = nullptr;
    long cache_size_ = 4096;
    std::unique_ptr<RecordCache> read_cache_;
    std::unique_ptr<SidCache> sid_cache_;
};

// An ANSI copy of an automation string, or none for a null string.
struct AnsiArg {
    explicit AnsiArg(const std::wstring& s, bool null_when_empty = true);
    const char* get() const { return null_ ? nullptr : text_.c_str(); }
    std::string text_;
    bool null_ = true;
};

}  // namespace lorvex
