// EventLogBackup: an event-log backup file read the way EventLog reads a live log, without
// clearing, change notification, privileges or retrying.
#include <windows.h>

#include "classes.h"
#include "error_report.h"
#include "log_reader.h"
#include "lorvex.h"
#include "platform/evtlog/evtapi.h"
#include "platform/winapi/com_server.h"
#include "platform/winapi/oleauto.h"
#include "record_collection.h"

namespace lorvex {
namespace {

class EventLogBackup final : public vantrel::com::Dual<IEventLogBackup> {
public:
    EventLogBackup() : reader_(CLSID_EventLogBackup) {}

    STDMETHODIMP get_hEventLogBackup(long* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!pVal) return ReportNullPointer(CLSID_EventLogBackup);
            HRESULT hr = Open();
            if (FAILED(hr)) return hr;
            *pVal = static_cast<long>(reinterpret_cast<INT_PTR>(reader_.handle()));
            return S_OK;
        });
    }
    STDMETHODIMP get_ComputerName(BSTR* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return CopyOut(computer_name_, pVal); });
    }
    STDMETHODIMP put_ComputerName(BSTR newVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            computer_name_ = FromBstr(newVal);
            reader_.Close();
            return S_OK;
        });
    }
    STDMETHODIMP get_FileName(BSTR* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return CopyOut(file_name_, pVal); });
    }
    STDMETHODIMP put_FileName(BSTR newVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            file_name_ = FromBstr(newVal);
            reader_.Close();
            return S_OK;
        });
    }
    STDMETHODIMP get_OldestRecordNumber(long* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!pVal) return ReportNullPointer(CLSID_EventLogBackup);
            HRESULT hr = Open();
            return FAILED(hr) ? hr : reader_.Oldest(pVal);
        });
    }
    STDMETHODIMP get_RecordCount(long* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!pVal) return ReportNullPointer(CLSID_EventLogBackup);
            HRESULT hr = Open();
            return FAILED(hr) ? hr : reader_.Count(pVal);
        });
    }
    STDMETHODIMP ReadRecord(long RecordNumber, IEventLogRecord** ppRecord) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!ppRecord) return ReportNullPointer(CLSID_EventLogBackup);
            *ppRecord = nullptr;
            HRESULT hr = Open();
            return FAILED(hr) ? hr : reader_.ReadRecord(RecordNumber, ppRecord);
        });
    }
    STDMETHODIMP Backup(BSTR FileName) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            HRESULT hr = Open();
            return FAILED(hr) ? hr : reader_.Backup(FileName);
        });
    }
    STDMETHODIMP EventLogRecords(VARIANT* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!pVal) return ReportNullPointer(CLSID_EventLogBackup);
            HRESULT hr = Open();
            if (FAILED(hr)) return hr;
            BoundReader reader;
            reader.backup = this;
            return CreateRecordCollection(CLSID_EventLogBackup, reader, pVal);
        });
    }
    STDMETHODIMP get_MessageFileSearchOrder(LORVEX_MSG_FILE_SEARCH_ORDER* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!pVal) return ReportNullPointer(CLSID_EventLogBackup);
            *pVal = static_cast<LORVEX_MSG_FILE_SEARCH_ORDER>(reader_.search_order);
            return S_OK;
        });
    }
    STDMETHODIMP put_MessageFileSearchOrder(LORVEX_MSG_FILE_SEARCH_ORDER newVal) override {
        reader_.search_order = newVal;
        return S_OK;
    }
    STDMETHODIMP get_CacheSize(long* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!pVal) return ReportNullPointer(CLSID_EventLogBackup);
            *pVal = reader_.cache_size();
            return S_OK;
        });
    }
    STDMETHODIMP put_CacheSize(long newVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            reader_.set_cache_size(newVal);
            return S_OK;
        });
    }

private:
    static std::wstring FromBstr(BSTR s) { return s ? std::wstring(s, ::SysStringLen(s)) : std::wstring(); }
    static HRESULT CopyOut(const std::wstring& s, BSTR* out) {
        if (!out) return ReportNullPointer(CLSID_EventLogBackup);
        *out = ::SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT Open() {
        if (reader_.is_open()) return S_OK;
        AnsiArg computer(computer_name_), file(file_name_);
        HANDLE h = vantrel::evtapi::Get().OpenBackupEventLogA(computer.get(), file.get());
        if (!h) return ReportWin32Error(CLSID_EventLogBackup, ::GetLastError(), "Error opening backup event log");
        reader_.Opened(h);
        return S_OK;
    }

    std::wstring computer_name_;
    std::wstring file_name_;
    LogReader reader_;
};

}  // namespace

HRESULT CreateEventLogBackup(REFIID riid, void** ppv) { return vantrel::com::CreateObject<EventLogBackup>(riid, ppv); }

}  // namespace lorvex
