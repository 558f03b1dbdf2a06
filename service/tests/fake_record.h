// A record with fixed members; a member named in `failing` throws when read.
#pragma once

#include <set>
#include <stdexcept>

#include "core/record_view.h"

namespace quenloc::testing {

struct FakeRecord : RecordView {
    int32_t record_number = 42;
    std::string computer = "ATLAS";
    std::string source = "Disk";
    std::string user = "ATLAS\\ops";
    int32_t category = 0;
    std::string type = "Error";
    int32_t event_id = 11;
    int32_t event_code = 11;
    std::string description;
    std::string generated = "12/9/2026 5:58:42 AM";
    std::string written = "12/9/2026 5:58:43 AM";
    std::optional<std::vector<std::string>> strings;
    std::set<std::string> failing;
    int type_reads = 0;

    void Check(const char* member) {
        if (failing.count(member)) throw std::runtime_error(std::string(member) + " failed");
    }
    int32_t RecordNumber() override { Check("RecordNumber"); return record_number; }
    std::string ComputerName() override { Check("ComputerName"); return computer; }
    std::string SourceName() override { Check("SourceName"); return source; }
    std::string UserName() override { Check("UserName"); return user; }
    int32_t Category() override { Check("Category"); return category; }
    std::string EventType() override { Check("EventType"); ++type_reads; return type; }
    int32_t EventId() override { Check("EventId"); return event_id; }
    int32_t EventCode() override { Check("EventCode"); return event_code; }
    std::string EventDescription() override { Check("EventDescription"); return description; }
    std::string TimeGenerated() override { Check("TimeGenerated"); return generated; }
    std::string TimeWritten() override { Check("TimeWritten"); return written; }
    std::optional<std::vector<std::string>> Strings() override { Check("Strings"); return strings; }
};

}  // namespace quenloc::testing
