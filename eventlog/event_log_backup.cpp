// EventLogBackup: not built yet; every member answers E_NOTIMPL with a text that says so.
#include "classes.h"
#include "errors.h"
#include "lorvex.h"
#include "platform/winapi/com_server.h"

namespace lorvex {
namespace {

class EventLogBackup final : public vantrel::com::Dual<IEventLogBackup> {
public:
    STDMETHODIMP get_hEventLogBackup(long *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLogBackup);
        return ReportNotBuilt(CLSID_EventLogBackup, "EventLogBackup.hEventLogBackup");
    }
    STDMETHODIMP get_ComputerName(BSTR *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLogBackup);
        return ReportNotBuilt(CLSID_EventLogBackup, "EventLogBackup.ComputerName");
    }
    STDMETHODIMP put_ComputerName(BSTR) override {
        return ReportNotBuilt(CLSID_EventLogBackup, "EventLogBackup.ComputerName");
    }
    STDMETHODIMP get_FileName(BSTR *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLogBackup);
        return ReportNotBuilt(CLSID_EventLogBackup, "EventLogBackup.FileName");
    }
    STDMETHODIMP put_FileName(BSTR) override {
        return ReportNotBuilt(CLSID_EventLogBackup, "EventLogBackup.FileName");
    }
    STDMETHODIMP get_OldestRecordNumber(long *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLogBackup);
        return ReportNotBuilt(CLSID_EventLogBackup, "EventLogBackup.OldestRecordNumber");
    }
    STDMETHODIMP get_RecordCount(long *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLogBackup);
        return ReportNotBuilt(CLSID_EventLogBackup, "EventLogBackup.RecordCount");
    }
    STDMETHODIMP ReadRecord(long, IEventLogRecord **ppRecord) override {
        if (!ppRecord) return ReportNullPointer(CLSID_EventLogBackup);
        return ReportNotBuilt(CLSID_EventLogBackup, "EventLogBackup.ReadRecord");
    }
    STDMETHODIMP Backup(BSTR) override {
        return ReportNotBuilt(CLSID_EventLogBackup, "EventLogBackup.Backup");
    }
    STDMETHODIMP EventLogRecords(VARIANT *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLogBackup);
        return ReportNotBuilt(CLSID_EventLogBackup, "EventLogBackup.EventLogRecords");
    }
    STDMETHODIMP get_MessageFileSearchOrder(LORVEX_MSG_FILE_SEARCH_ORDER *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLogBackup);
        return ReportNotBuilt(CLSID_EventLogBackup, "EventLogBackup.MessageFileSearchOrder");
    }
    STDMETHODIMP put_MessageFileSearchOrder(LORVEX_MSG_FILE_SEARCH_ORDER) override {
        return ReportNotBuilt(CLSID_EventLogBackup, "EventLogBackup.MessageFileSearchOrder");
    }
    STDMETHODIMP get_CacheSize(long *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLogBackup);
        return ReportNotBuilt(CLSID_EventLogBackup, "EventLogBackup.CacheSize");
    }
    STDMETHODIMP put_CacheSize(long) override {
        return ReportNotBuilt(CLSID_EventLogBackup, "EventLogBackup.CacheSize");
    }
};

}  // namespace

HRESULT CreateEventLogBackup(REFIID riid, void** ppv) { return vantrel::com::CreateObject<EventLogBackup>(riid, ppv); }

}  // namespace lorvex
