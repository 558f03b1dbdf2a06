// Helpers for the conformance tests of vteventlog.dll, reached through the evtapi switch
// exactly as the system's own code reaches it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/evtlog/evtapi.h"

namespace vantrel::evtlog::test {

inline const evtapi::Functions& Api() { return evtapi::Get(); }

// A log of our own in the test prefix's registry, with its file in the build tree.
class TestLog {
public:
    TestLog(const std::string& name, DWORD maxSize, DWORD retention = 0);
    ~TestLog();
    const std::string& name() const { return name_; }
    std::string FilePath() const { return file_; }
    void AddSource(const std::string& source);
    void SetMaxSize(DWORD maxSize);
    DWORD FileSize() const;  // the log file's length on disk

private:
    std::string name_;
    std::string file_;
};

struct ReadRecord {
    DWORD number = 0;
    WORD type = 0;
    WORD category = 0;
    DWORD eventId = 0;
    std::string source, computer;
    std::vector<BYTE> sid;
    std::vector<std::string> strings;
    std::vector<BYTE> data;
};

// Splits a ReadEventLogA buffer into records, checking every offset of each.
std::vector<ReadRecord> Parse(const BYTE* buffer, DWORD bytes);
// Every record of a handle by sequential reads in one direction, with a buffer of 'size'.
std::vector<ReadRecord> ReadAll(HANDLE h, DWORD direction, DWORD size = 0x10000);
// Reports an information event with these strings and data.
bool Report(HANDLE source, DWORD id, std::vector<std::string> strings = {}, std::vector<BYTE> data = {},
            PSID sid = nullptr);
std::string ScratchPath(const std::string& name);  // a fresh (deleted) file in the build tree
bool SetPrivilege(const wchar_t* name, bool enable);
std::string ComputerName();

}  // namespace vantrel::evtlog::test
