// A log file on disk as the format core's Storage, mapped into memory: under Wine every
// ReadFile and WriteFile costs a trip to the wineserver, a mapped view costs nothing.
// The file's size lives in memory shared by every process using the log, so that all
// see a growth at once and remap.
#pragma once

#include <windows.h>

#include "platform/evtlog/core/evt_ring.h"
#include "platform/winapi/handles.h"

namespace vantrel::evtlog {

class FileStorage : public evt::Storage {
public:
    // sharedSize: the file's current size as all processes know it (set by the owner of
    // the lock); read and written only under the log's lock.
    FileStorage(FileHandle file, uint32_t* sharedSize) : file_(std::move(file)), size_(sharedSize) {}
    ~FileStorage() override { Unmap(); }
    bool Read(uint32_t offset, void* buffer, uint32_t count) override;
    bool Write(uint32_t offset, const void* buffer, uint32_t count) override;
    bool Size(uint32_t& size) override;
    // Grows or shrinks the log. A file that another process maps cannot shrink: it then
    // keeps its length, with the log in its first 'size' bytes and zeros after them.
    bool SetSize(uint32_t size) override;
    // Cuts a file left longer than its log down to the log, once nobody maps the rest.
    void TrimTail();

private:
    bool SetEnd(uint32_t size);
    bool Map();
    void Unmap();

    FileHandle file_;
    uint32_t* size_;
    Handle mapping_;
    uint8_t* view_ = nullptr;
    uint32_t mapped_ = 0;
};

// Reads a whole file (at most maxBytes) into memory; false with the last error set.
bool ReadWholeFile(HANDLE file, uint32_t maxBytes, std::vector<uint8_t>& out);

}  // namespace vantrel::evtlog
