#include "record_cache.h"

#include <algorithm>
#include <new>

#include "core/raw_record.h"
#include "error_report.h"
#include "platform/evtlog/evtapi.h"

namespace lorvex {
namespace {

DWORD U32(const uint8_t* p) { return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24; }

}  // namespace

RecordCache::RecordCache(REFCLSID clsid, HANDLE log, DWORD nominal_size)
    : clsid_(clsid), log_(log), nominal_(nominal_size) {}

HRESULT RecordCache::GetRecord(DWORD n, const uint8_t** record, size_t* available) {
    if (nominal_ != 0 && SUCCEEDED(Lookup(n, record, available))) return S_OK;
    HRESULT hr = Fill(n);
    if (FAILED(hr)) return hr;
    return Lookup(n, record, available);
}

void RecordCache::Reset() {
    buffer_.reset();
    capacity_ = bytes_read_ = first_ = last_ = 0;
}

bool RecordCache::Allocate(DWORD size) {
    // Never a null buffer, even for a nominal size of 0: the read must fail for its size.
    buffer_.reset(new (std::nothrow) uint8_t[std::max<DWORD>(size, 1)]);
    capacity_ = buffer_ ? size : 0;
    return buffer_ != nullptr;
}

HRESULT RecordCache::Fill(DWORD n) {
    const auto& api = vantrel::evtapi::Get();
    const bool backwards = first_ != 0 && last_ != 0 && n < first_;
    const DWORD flags = EVENTLOG_SEEK_READ | (backwards ? EVENTLOG_BACKWARDS_READ : EVENTLOG_FORWARDS_READ);

    if (!buffer_ || capacity_ != nominal_) {
        if (!Allocate(nominal_)) {
            Reset();
            return ReportError(clsid_, E_OUTOFMEMORY, "Failed to allocate memory for event log record cache");
        }
    }
    DWORD read = 0, needed = 0;
    BOOL ok = api.ReadEventLogA(log_, flags, n, buffer_.get(), capacity_, &read, &needed);
    if (!ok && ::GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        if (!Allocate(needed)) {
            Reset();
            return ReportError(clsid_, E_OUTOFMEMORY, "Failed to allocate memory for event log record cache");
        }
        ok = api.ReadEventLogA(log_, flags, n, buffer_.get(), capacity_, &read, &needed);
    }
    if (!ok) {
        DWORD error = ::GetLastError();
        Reset();
        return ReportWin32Error(clsid_, error, "Error reading event log");
    }
    // Keep the records whose framing checks out, from the start of the buffer: each one's
    // length fits the bytes read and is repeated in its last four bytes. The first record
    // that fails ends the buffer; when that is the first one, it is the record asked for.
    DWORD kept = 0, last_start = 0;
    while (read <= capacity_ && kept + kRawRecordHeaderSize <= read) {
        const DWORD length = U32(buffer_.get() + kept);
        if (length < kRawRecordHeaderSize || length > read - kept || U32(buffer_.get() + kept + length - 4) != length)
            break;
        last_start = kept;
        kept += length;
    }
    if (kept == 0) {
        Reset();
        return ReportWin32Error(clsid_, ERROR_EVENTLOG_FILE_CORRUPT, "Error reading event log");
    }
    bytes_read_ = kept;
    first_ = U32(buffer_.get() + 8);
    last_ = U32(buffer_.get() + last_start + 8);
    return S_OK;
}

HRESULT RecordCache::Lookup(DWORD n, const uint8_t** record, size_t* available) const {
    if (!buffer_ || bytes_read_ == 0) return E_UNEXPECTED;
    if (n < std::min(first_, last_) || n > std::max(first_, last_)) return E_INVALIDARG;

    // The log must still hold the buffered records.
    const auto& api = vantrel::evtapi::Get();
    DWORD oldest = 0, count = 0;
    if (!api.GetOldestEventLogRecord(log_, &oldest) || !api.GetNumberOfEventLogRecords(log_, &count) || count == 0)
        return E_INVALIDARG;
    if (std::min(first_, last_) < oldest || std::max(first_, last_) > oldest + count - 1) return E_INVALIDARG;

    for (DWORD pos = 0; pos + kRawRecordHeaderSize <= bytes_read_;) {
        const uint8_t* p = buffer_.get() + pos;
        const DWORD length = U32(p);
        if (length < kRawRecordHeaderSize || length > bytes_read_ - pos) return E_UNEXPECTED;
        if (U32(p + 8) == n) {
            *record = p;
            *available = length;
            return S_OK;
        }
        pos += length;
    }
    return E_INVALIDARG;
}

}  // namespace lorvex
