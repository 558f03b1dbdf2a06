// EventLog: not built yet; every member answers E_NOTIMPL with a text that says so.
#include "classes.h"
#include "errors.h"
#include "lorvex.h"
#include "platform/winapi/com_server.h"

namespace lorvex {
namespace {

class EventLog final : public vantrel::com::Dual<IEventLog> {
public:
    STDMETHODIMP get_hEventLog(long *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLog);
        return ReportNotBuilt(CLSID_EventLog, "EventLog.hEventLog");
    }
    STDMETHODIMP get_ComputerName(BSTR *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLog);
        return ReportNotBuilt(CLSID_EventLog, "EventLog.ComputerName");
    }
    STDMETHODIMP put_ComputerName(BSTR) override {
        return ReportNotBuilt(CLSID_EventLog, "EventLog.ComputerName");
    }
    STDMETHODIMP get_SourceName(BSTR *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLog);
        return ReportNotBuilt(CLSID_EventLog, "EventLog.SourceName");
    }
    STDMETHODIMP put_SourceName(BSTR) override {
        return ReportNotBuilt(CLSID_EventLog, "EventLog.SourceName");
    }
    STDMETHODIMP get_OldestRecordNumber(long *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLog);
        return ReportNotBuilt(CLSID_EventLog, "EventLog.OldestRecordNumber");
    }
    STDMETHODIMP get_RecordCount(long *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLog);
        return ReportNotBuilt(CLSID_EventLog, "EventLog.RecordCount");
    }
    STDMETHODIMP ReadRecord(long, IEventLogRecord **ppRecord) override {
        if (!ppRecord) return ReportNullPointer(CLSID_EventLog);
        return ReportNotBuilt(CLSID_EventLog, "EventLog.ReadRecord");
    }
    STDMETHODIMP Backup(BSTR) override {
        return ReportNotBuilt(CLSID_EventLog, "EventLog.Backup");
    }
    STDMETHODIMP Clear(VARIANT) override {
        return ReportNotBuilt(CLSID_EventLog, "EventLog.Clear");
    }
    STDMETHODIMP EventLogRecords(VARIANT *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLog);
        return ReportNotBuilt(CLSID_EventLog, "EventLog.EventLogRecords");
    }
    STDMETHODIMP get_MessageFileSearchOrder(LORVEX_MSG_FILE_SEARCH_ORDER *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLog);
        return ReportNotBuilt(CLSID_EventLog, "EventLog.MessageFileSearchOrder");
    }
    STDMETHODIMP put_MessageFileSearchOrder(LORVEX_MSG_FILE_SEARCH_ORDER) override {
        return ReportNotBuilt(CLSID_EventLog, "EventLog.MessageFileSearchOrder");
    }
    STDMETHODIMP get_ChangeCheckInterval(long *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLog);
        return ReportNotBuilt(CLSID_EventLog, "EventLog.ChangeCheckInterval");
    }
    STDMETHODIMP put_ChangeCheckInterval(long) override {
        return ReportNotBuilt(CLSID_EventLog, "EventLog.ChangeCheckInterval");
    }
    STDMETHODIMP get_CacheSize(long *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLog);
        return ReportNotBuilt(CLSID_EventLog, "EventLog.CacheSize");
    }
    STDMETHODIMP put_CacheSize(long) override {
        return ReportNotBuilt(CLSID_EventLog, "EventLog.CacheSize");
    }
};

}  // namespace

HRESULT CreateEventLog(REFIID riid, void** ppv) { return vantrel::com::CreateObject<EventLog>(riid, ppv); }

}  // namespace lorvex
