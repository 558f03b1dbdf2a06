// Turns (computer, source, message number, insertion strings) into a text from the
// source's message files, on the local computer or through a remote computer's shares.
// Lives for one description call; nothing is cached between calls.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lorvex {

class MessageFormatter {
public:
    // Errors are reported under the given class (the record's).
    explicit MessageFormatter(REFCLSID clsid) : clsid_(clsid) {}

    HRESULT FormatCategory(long search_order, const std::string& computer, const std::string& source,
                           uint32_t category, std::string* text);
    HRESULT FormatEvent(long search_order, const std::string& computer, const std::string& source,
                        uint32_t event_id, const std::vector<std::string>& strings, std::string* text);

    // One attempt on one side: remote is the computer's name, or empty for the local one.
    // depth counts parameter messages being expanded inside each other.
    HRESULT Format(const std::string& remote, const std::string& source, const char* value_name, uint32_t number,
                   const std::vector<std::string>& strings, int depth, std::string* text);

private:
    HRESULT Search(long search_order, const std::string& computer, const std::string& source,
                   const char* value_name, uint32_t number, const std::vector<std::string>& strings,
                   std::string* text);
    HRESULT ReadFileList(const std::string& remote, const std::string& source, const char* value_name,
                         std::vector<std::string>* paths);
    HRESULT FormatFromFiles(const std::vector<std::string>& paths, uint32_t number, std::string* raw);

    CLSID clsid_;
};

// True when the name stands for another computer: not empty and not byte-equal to this
// computer's name.
bool IsRemoteComputer(const std::string& computer);

}  // namespace lorvex
