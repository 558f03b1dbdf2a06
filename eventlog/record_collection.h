// The record collection of a reader and its enumerator. Neither holds records: every
// access reads through the bound reader.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include "lorvex.h"

namespace lorvex {

// One reader, either a live log or a backup file.
struct BoundReader {
    Microsoft::WRL::ComPtr<IEventLog> log;
    Microsoft::WRL::ComPtr<IEventLogBackup> backup;

    bool bound() const { return log || backup; }
    HRESULT Read(long n, IEventLogRecord** record) const {
        return log ? log->ReadRecord(n, record) : backup->ReadRecord(n, record);
    }
    HRESULT Oldest(long* n) const { return log ? log->get_OldestRecordNumber(n) : backup->get_OldestRecordNumber(n); }
    HRESULT Count(long* n) const { return log ? log->get_RecordCount(n) : backup->get_RecordCount(n); }
};

// The collection as a variant holding its dispatch interface, bound to the reader.
// Reports its failures under clsid, the reader's class.
HRESULT CreateRecordCollection(REFCLSID clsid, const BoundReader& reader, VARIANT* result);

}  // namespace lorvex
