// EventLogRecord: one decoded event-log entry. Filled once by the reader that made it,
// then only read; it keeps no reference to that reader.
#pragma once

#include <string>

#include "lorvex.h"
#include "platform/winapi/com_server.h"
#include "platform/winapi/oleauto.h"

namespace lorvex {

class EventLogRecord final : public vantrel::com::Dual<IEventLogRecord> {
public:
    EventLogRecord();

    STDMETHODIMP get_RecordNumber(long* pVal) override;
    STDMETHODIMP get_ComputerName(BSTR* pVal) override;
    STDMETHODIMP get_SourceName(BSTR* pVal) override;
    STDMETHODIMP get_UserName(BSTR* pVal) override;
    STDMETHODIMP get_Category(long* pVal) override;
    STDMETHODIMP get_CategoryDescription(BSTR* pVal) override;
    STDMETHODIMP get_EventType(BSTR* pVal) override;
    STDMETHODIMP get_EventId(long* pVal) override;
    STDMETHODIMP get_EventDescription(BSTR* pVal) override;
    STDMETHODIMP get_TimeGenerated(DATE* pVal) override;
    STDMETHODIMP get_TimeWritten(DATE* pVal) override;
    STDMETHODIMP get_Strings(VARIANT* pVal) override;
    STDMETHODIMP get_Data(VARIANT* pVal) override;
    STDMETHODIMP get_EventCode(long* pVal) override;

private:
    HRESULT CopyText(const std::wstring& text, BSTR* out) const;
    HRESULT CopyVariant(const vantrel::Variant& value, VARIANT* out) const;

    long record_number_ = 0;
    std::wstring computer_name_;
    std::wstring source_name_;
    std::wstring user_name_;
    long category_ = 0;
    std::wstring event_type_;
    long event_id_ = 0;
    DATE time_generated_ = 0.0;
    DATE time_written_ = 0.0;
    vantrel::Variant strings_;
    vantrel::Variant data_;
    long search_order_ = LORVEX_MSG_FILES_REMOTE_THEN_LOCAL;
};

}  // namespace lorvex
