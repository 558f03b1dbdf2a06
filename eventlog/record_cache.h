// The read cache of a reader: one ReadEventLogA call fills up to the nominal size with
// consecutive records in the direction of reading, and later reads are served from it
// while the log still holds those records.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace lorvex {

class RecordCache {
public:
    // Errors are reported under clsid, the owning reader's class.
    RecordCache(REFCLSID clsid, HANDLE log, DWORD nominal_size);

    // The raw record numbered n: a pointer into the buffer and the bytes it may span.
    HRESULT GetRecord(DWORD n, const uint8_t** record, size_t* available);

private:
    HRESULT Fill(DWORD n);
    HRESULT Lookup(DWORD n, const uint8_t** record, size_t* available) const;
    void Reset();
    bool Allocate(DWORD size);

    CLSID clsid_;
    HANDLE log_;
    DWORD nominal_;
    std::unique_ptr<uint8_t[]> buffer_;
    DWORD capacity_ = 0;
    DWORD bytes_read_ = 0;
    DWORD first_ = 0;  // after a backward read the first record has the highest number
    DWORD last_ = 0;
};

}  // namespace lorvex
