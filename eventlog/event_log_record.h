// EventLogRecord: one decoded event-log entry. Filled once by the reader that made it,
// then only read; it keeps no reference to that reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/sid_cache.h"
#include "lorvex.h"
#include "platform/winapi/com_server.h"
#include "platform/winapi/oleauto.h"

namespace lorvex {

class EventLogRecord final : public vantrel::com::Dual<IEventLogRecord> {
public:
    EventLogRecord();

    // Fills the record from one raw record of bytes[0..size), as ReadEventLogA returns it.
    // Called once, by the reader that made the record; cache may be null.
    HRESULT Init(const uint8_t* bytes, size_t size, SidCache* cache, long search_order);

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
    HRESULT EventTimeToDate(uint32_t seconds, DATE* date) const;
    HRESULT AccountText(const uint8_t* sid, size_t sid_length, SidCache* cache, std::wstring* text) const;
    HRESULT StringsToVariant(const std::vector<std::string_view>& strings);
    HRESULT DataToVariant(const uint8_t* data, uint32_t length);
    HRESULT VariantToStrings(std::vector<std::string>* strings) const;
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
