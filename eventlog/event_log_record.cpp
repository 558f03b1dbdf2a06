#include "event_log_record.h"

#include "classes.h"
#include "errors.h"

namespace lorvex {

EventLogRecord::EventLogRecord() = default;

HRESULT EventLogRecord::CopyText(const std::wstring& text, BSTR* out) const {
    if (!out) return ReportNullPointer(CLSID_EventLogRecord);
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT EventLogRecord::CopyVariant(const vantrel::Variant& value, VARIANT* out) const {
    if (!out) return ReportNullPointer(CLSID_EventLogRecord);
    ::VariantInit(out);
    return ::VariantCopy(out, const_cast<VARIANT*>(value.get()));
}

template <class T>
static HRESULT CopyNumber(T value, T* out) {
    if (!out) return ReportNullPointer(CLSID_EventLogRecord);
    *out = value;
    return S_OK;
}

STDMETHODIMP EventLogRecord::get_RecordNumber(long* pVal) { return CopyNumber(record_number_, pVal); }
STDMETHODIMP EventLogRecord::get_ComputerName(BSTR* pVal) { return CopyText(computer_name_, pVal); }
STDMETHODIMP EventLogRecord::get_SourceName(BSTR* pVal) { return CopyText(source_name_, pVal); }
STDMETHODIMP EventLogRecord::get_UserName(BSTR* pVal) { return CopyText(user_name_, pVal); }
STDMETHODIMP EventLogRecord::get_Category(long* pVal) { return CopyNumber(category_, pVal); }
STDMETHODIMP EventLogRecord::get_EventType(BSTR* pVal) { return CopyText(event_type_, pVal); }
STDMETHODIMP EventLogRecord::get_EventId(long* pVal) { return CopyNumber(event_id_, pVal); }
STDMETHODIMP EventLogRecord::get_TimeGenerated(DATE* pVal) { return CopyNumber(time_generated_, pVal); }
STDMETHODIMP EventLogRecord::get_TimeWritten(DATE* pVal) { return CopyNumber(time_written_, pVal); }
STDMETHODIMP EventLogRecord::get_Strings(VARIANT* pVal) { return CopyVariant(strings_, pVal); }
STDMETHODIMP EventLogRecord::get_Data(VARIANT* pVal) { return CopyVariant(data_, pVal); }
STDMETHODIMP EventLogRecord::get_EventCode(long* pVal) {
    return CopyNumber(static_cast<long>(event_id_ & 0xFFFF), pVal);
}

STDMETHODIMP EventLogRecord::get_CategoryDescription(BSTR* pVal) {
    if (!pVal) return ReportNullPointer(CLSID_EventLogRecord);
    return ReportNotBuilt(CLSID_EventLogRecord, "EventLogRecord.CategoryDescription");
}

STDMETHODIMP EventLogRecord::get_EventDescription(BSTR* pVal) {
    if (!pVal) return ReportNullPointer(CLSID_EventLogRecord);
    return ReportNotBuilt(CLSID_EventLogRecord, "EventLogRecord.EventDescription");
}

HRESULT CreateEventLogRecord(REFIID riid, void** ppv) {
    return vantrel::com::CreateObject<EventLogRecord>(riid, ppv);
}

}  // namespace lorvex
