// The recipient file "To.txt" and the list file "EXCLUSIONS.TXT" in the programs'
// folder: text in the system's ANSI code page, written with CR LF line ends; reading takes
// CR LF, LF or CR.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/run_time_error.h"
#include "platform/winapi/handles.h"

namespace vantrel::common {

// One open file. A failed open is kept and reported, as a RunTimeError, by the first
// read or write.
class TextFile {
public:
    TextFile() = default;
    TextFile(TextFile&&) = default;
    TextFile& operator=(TextFile&&) = default;

    bool AtEnd();
    std::string ReadLine();
    void WriteLine(const std::string& line);
    bool IsOpen() const { return static_cast<bool>(handle_); }

private:
    friend TextFile OpenFileRead(const std::string& path);
    friend TextFile OpenFileOutput(const std::string& path);
    friend void CloseFile(TextFile& file);
    friend void WriteAddressesToFile(const std::vector<std::string>& items, const std::string& path);
    void Load();
    void Fail() const;

    FileHandle handle_;
    std::string path_;
    int error_number_ = 0;
    std::string error_text_;
    bool loaded_ = false;
    std::vector<std::string> lines_;
    size_t next_ = 0;
};

// Opens for reading lines; a missing file is created empty first.
TextFile OpenFileRead(const std::string& path);
void CloseFile(TextFile& file);
// Opens for writing, creating the file or emptying it; a failure throws at once.
TextFile OpenFileOutput(const std::string& path);

// Hands every line of the file, in file order, to add_item.
void LoadAddressesFromFile(const std::function<void(const std::string&)>& add_item, const std::string& path);

// The recipient file expanded into a comma-separated address list for an event's user
// (see ExpandRecipients); user_name becomes its form without domain when a template
// line is met.
std::string GetAddressesFromFile(const std::string& path, std::string& user_name);

// Writes every item as one line into a new file that then replaces the old one whole.
void WriteAddressesToFile(const std::vector<std::string>& items, const std::string& path);

}  // namespace vantrel::common
