// What the service's handlers read of one event-log entry, apart from COM. Every read may
// fail (the record object answers with a failure status); a failure throws, like a member
// read that raises a run-time error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quenloc {

class RecordView {
public:
    virtual ~RecordView() = default;
    virtual int32_t RecordNumber() = 0;
    virtual std::string ComputerName() = 0;
    virtual std::string SourceName() = 0;
    virtual std::string UserName() = 0;
    virtual int32_t Category() = 0;
    virtual std::string EventType() = 0;
    virtual int32_t EventId() = 0;
    virtual int32_t EventCode() = 0;
    virtual std::string EventDescription() = 0;
    // Local date-times as the platform's default text (short date, a blank, long time).
    virtual std::string TimeGenerated() = 0;
    virtual std::string TimeWritten() = 0;
    // The insertion strings; no value when the record holds none.
    virtual std::optional<std::vector<std::string>> Strings() = 0;
};

}  // namespace quenloc
