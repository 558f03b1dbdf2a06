// A log file on disk as the format core's Storage.
#pragma once

#include <windows.h>

#include "platform/evtlog/core/evt_ring.h"
#include "platform/winapi/handles.h"

namespace vantrel::evtlog {

class FileStorage : public evt::Storage {
public:
    explicit FileStorage(FileHandle file) : file_(std::move(file)) {}
    bool Read(uint32_t offset, void* buffer, uint32_t count) override;
    bool Write(uint32_t offset, const void* buffer, uint32_t count) override;
    bool Size(uint32_t& size) override;
    bool SetSize(uint32_t size) override;
    HANDLE get() const { return file_.get(); }

private:
    FileHandle file_;
};

// Reads a whole file (at most maxBytes) into memory; false with the last error set.
bool ReadWholeFile(HANDLE file, uint32_t maxBytes, std::vector<uint8_t>& out);

}  // namespace vantrel::evtlog
