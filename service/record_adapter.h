// The filter's and the notification's view of a Lorvex EventLogRecord. Every member is
// read afresh from the record; a failing read raises the record's error.
#pragma once

#include <windows.h>

#include "com_support.h"
#include "core/record_view.h"
#include "lorvex.h"

namespace quenloc {

class RecordAdapter final : public RecordView {
public:
    explicit RecordAdapter(IEventLogRecord* record) : record_(record) {}

    int32_t RecordNumber() override { return Number(&IEventLogRecord::get_RecordNumber, "RecordNumber"); }
    std::string ComputerName() override { return Text(&IEventLogRecord::get_ComputerName, "ComputerName"); }
    std::string SourceName() override { return Text(&IEventLogRecord::get_SourceName, "SourceName"); }
    std::string UserName() override { return Text(&IEventLogRecord::get_UserName, "UserName"); }
    int32_t Category() override { return Number(&IEventLogRecord::get_Category, "Category"); }
    std::string EventType() override { return Text(&IEventLogRecord::get_EventType, "EventType"); }
    int32_t EventId() override { return Number(&IEventLogRecord::get_EventId, "EventId"); }
    int32_t EventCode() override { return Number(&IEventLogRecord::get_EventCode, "EventCode"); }
    std::string EventDescription() override {
        return Text(&IEventLogRecord::get_EventDescription, "EventDescription");
    }
    std::string TimeGenerated() override { return Date(&IEventLogRecord::get_TimeGenerated, "TimeGenerated"); }
    std::string TimeWritten() override { return Date(&IEventLogRecord::get_TimeWritten, "TimeWritten"); }
    std::optional<std::vector<std::string>> Strings() override;

private:
    int32_t Number(HRESULT (STDMETHODCALLTYPE IEventLogRecord::*get)(long*), const char* what);
    std::string Text(HRESULT (STDMETHODCALLTYPE IEventLogRecord::*get)(BSTR*), const char* what);
    std::string Date(HRESULT (STDMETHODCALLTYPE IEventLogRecord::*get)(DATE*), const char* what);

    ComPtr<IEventLogRecord> record_;
};

}  // namespace quenloc
