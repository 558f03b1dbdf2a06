#include "log_reader.h"

#include <new>

#include "error_report.h"
#include "event_log_record.h"
#include "platform/evtlog/evtapi.h"
#include "platform/winapi/oleauto.h"

namespace lorvex {

AnsiArg::AnsiArg(const std::wstring& s, bool null_when_empty) : null_(null_when_empty && s.empty()) {
    text_ = vantrel::AnsiFromWide(s);
}

void LogReader::Close() {
    if (handle_) vantrel::evtapi::Get().CloseEventLog(handle_);
    handle_ = nullptr;
    read_cache_.reset();
}

void LogReader::set_cache_size(long size) {
    if (size == cache_size_) return;
    cache_size_ = size;
    read_cache_.reset();
}

HRESULT LogReader::ReadRecord(long n, IEventLogRecord** record) {
    if (!read_cache_) {
        read_cache_.reset(new (std::nothrow) RecordCache(clsid_, handle_, static_cast<DWORD>(cache_size_)));
        if (!read_cache_)
            return ReportError(clsid_, E_OUTOFMEMORY, "Failed to allocate memory for event log record cache");
    }
    const uint8_t* raw = nullptr;
    size_t available = 0;
    HRESULT hr = read_cache_->GetRecord(static_cast<DWORD>(n), &raw, &available);
    if (FAILED(hr)) return hr;
    if (!sid_cache_) {
        sid_cache_.reset(new (std::nothrow) SidCache(20));
        if (!sid_cache_) return ReportError(clsid_, E_OUTOFMEMORY, "Failed to allocate memory for SID cache");
    }
    auto* decoded = new (std::nothrow) EventLogRecord();
    if (!decoded) return ReportError(clsid_, E_OUTOFMEMORY, "Error creating the event log record object");
    hr = decoded->Init(raw, available, sid_cache_.get(), search_order);
    if (FAILED(hr)) {
        decoded->Release();
        return hr;
    }
    *record = decoded;  // the record's own reference goes to the caller
    return S_OK;
}

HRESULT LogReader::Oldest(long* value) {
    DWORD n = 0;
    if (!vantrel::evtapi::Get().GetOldestEventLogRecord(handle_, &n))
        return ReportWin32Error(clsid_, ::GetLastError(), "Error getting oldest event log record number");
    *value = static_cast<long>(n);
    return S_OK;
}

HRESULT LogReader::Count(long* value) {
    DWORD n = 0;
    if (!vantrel::evtapi::Get().GetNumberOfEventLogRecords(handle_, &n))
        return ReportWin32Error(clsid_, ::GetLastError(), "Error getting event log record count");
    *value = static_cast<long>(n);
    return S_OK;
}

HRESULT LogReader::Backup(BSTR file_name) {
    const bool null = file_name == nullptr;
    std::string name = null ? std::string() : vantrel::AnsiFromWide(file_name, ::SysStringLen(file_name));
    if (!vantrel::evtapi::Get().BackupEventLogA(handle_, null ? nullptr : name.c_str()))
        return ReportWin32Error(clsid_, ::GetLastError(), "Error backing up event log");
    return S_OK;
}

}  // namespace lorvex
