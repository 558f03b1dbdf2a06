#include "list_files.h"

#include <windows.h>

#include "core/list_text.h"
#include "core/procedure_frame.h"

namespace vantrel::common {

namespace {

// Larger files are refused rather than read into memory: no list is anywhere near it.
constexpr LONGLONG kMaxListFile = 64LL * 1024 * 1024;

int RunTimeNumber(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND: return kErrFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH: return kErrPathNotFound;
    default: return kErrFileAccess;
    }
}

std::string SystemMessage(DWORD code) {
    char* text = nullptr;
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    LocalMemory owner(text);
    std::string s = n ? std::string(text, n) : "error " + std::to_string(code);
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == '.')) s.pop_back();
    return s;
}

// Shared for deletion too: the manager's replace holds the new file with delete access
// while it moves it into place, and a read in that moment must not fail.
HANDLE OpenForRead(const std::string& path) {
    return ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE OpenForOutput(const std::string& path) {
    return ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

[[noreturn]] void ThrowWriteError(DWORD code, const std::string& path) {
    throw RunTimeError(RunTimeNumber(code), SystemMessage(code) + ": " + path);
}

// The new list's file beside the old one; removed again unless it took the old one's place.
class PendingFile {
public:
    explicit PendingFile(const std::string& path) {
        const size_t slash = path.find_last_of("\\/");
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
        char name[MAX_PATH] = {};
        if (!::GetTempFileNameA(folder.c_str(), "vtl", 0, name)) ThrowWriteError(::GetLastError(), path);
        name_ = name;
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile() {
        if (!name_.empty()) ::DeleteFileA(name_.c_str());
    }
    const std::string& name() const { return name_; }
    void Placed() { name_.clear(); }

private:
    std::string name_;
};

// Replaces in one step. A file that is open cannot be replaced, and the service opens the
// recipient file for every event, briefly: the replace is tried again for up to about two
// seconds before it counts as failed.
void PutInPlace(const std::string& from, const std::string& to) {
    constexpr int kAttempts = 100;
    constexpr DWORD kPauseMs = 20;
    for (int attempt = 1;; ++attempt) {
        if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return;
        const DWORD code = ::GetLastError();
        if ((code != ERROR_SHARING_VIOLATION && code != ERROR_ACCESS_DENIED) || attempt == kAttempts)
            ThrowWriteError(code, to);
        ::Sleep(kPauseMs);
    }
}

}  // namespace

void TextFile::Fail() const {
    if (error_number_) throw RunTimeError(error_number_, error_text_ + ": " + path_);
    throw RunTimeError(kErrFileAccess, "File is not open: " + path_);
}

void TextFile::Load() {
    if (loaded_) return;
    if (!handle_) Fail();
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle_.get(), &size)) throw RunTimeError(kErrFileAccess, SystemMessage(::GetLastError()));
    if (size.QuadPart > kMaxListFile) throw RunTimeError(kErrFileAccess, "File too large: " + path_);
    std::string content(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < content.size()) {
        DWORD got = 0;
        if (!::ReadFile(handle_.get(), content.data() + done, static_cast<DWORD>(content.size() - done), &got, nullptr))
            throw RunTimeError(kErrFileAccess, SystemMessage(::GetLastError()) + ": " + path_);
        if (got == 0) break;
        done += got;
    }
    content.resize(done);
    lines_ = SplitLines(content);
    loaded_ = true;
}

bool TextFile::AtEnd() {
    Load();
    return next_ >= lines_.size();
}

std::string TextFile::ReadLine() {
    Load();
    if (next_ >= lines_.size()) throw RunTimeError(kErrInputPastEnd, "Input past end of file: " + path_);
    return lines_[next_++];
}

void TextFile::WriteLine(const std::string& line) {
    if (!handle_) Fail();
    std::string bytes = line + "\r\n";
    DWORD written = 0;
    if (!::WriteFile(handle_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        throw RunTimeError(kErrFileAccess, SystemMessage(::GetLastError()) + ": " + path_);
}

TextFile OpenFileRead(const std::string& path) {
    TextFile file;
    InFrame(trace::kOpenFileRead, [&] {
        file.path_ = path;
        file.handle_.reset(OpenForRead(path));
        if (!file.handle_ && ::GetLastError() == ERROR_FILE_NOT_FOUND) {
            // A fresh installation has no lists yet: they start empty.
            TextFile created;
            created.handle_.reset(OpenForOutput(path));
            CloseFile(created);
            file.handle_.reset(OpenForRead(path));
        }
        if (!file.handle_) {
            DWORD code = ::GetLastError();
            file.error_number_ = RunTimeNumber(code);
            file.error_text_ = SystemMessage(code);
        }
    });
    return file;
}

void CloseFile(TextFile& file) {
    InFrame(trace::kCloseFile, [&] { file.handle_.reset(); });
}

TextFile OpenFileOutput(const std::string& path) {
    TextFile file;
    file.path_ = path;
    file.handle_.reset(OpenForOutput(path));
    if (!file.handle_) ThrowWriteError(::GetLastError(), path);
    return file;
}

void LoadAddressesFromFile(const std::function<void(const std::string&)>& add_item, const std::string& path) {
    InFrame(trace::kLoadAddressesFromFile, [&] {
        TextFile file = OpenFileRead(path);
        while (!file.AtEnd()) add_item(file.ReadLine());
        CloseFile(file);
    });
}

std::string GetAddressesFromFile(const std::string& path, std::string& user_name) {
    std::string result;
    InFrame(trace::kGetAddressesFromFile, [&] {
        TextFile file = OpenFileRead(path);
        std::vector<std::string> lines;
        while (!file.AtEnd()) lines.push_back(file.ReadLine());
        CloseFile(file);
        result = ExpandRecipients(lines, user_name);
    });
    return result;
}

// The service reads the recipient file for every event: the new list is written whole
// beside the old one and then takes its place in one step, so that a reader sees the old
// list or the new one, never a part. A failure leaves the old file as it was.
void WriteAddressesToFile(const std::vector<std::string>& items, const std::string& path) {
    PendingFile pending(path);
    {
        TextFile file;
        file.path_ = path;
        file.handle_.reset(OpenForOutput(pending.name()));
        if (!file.handle_) ThrowWriteError(::GetLastError(), path);
        for (const auto& item : items) file.WriteLine(item);
        if (!::FlushFileBuffers(file.handle_.get())) ThrowWriteError(::GetLastError(), path);
        CloseFile(file);
    }
    PutInPlace(pending.name(), path);
    pending.Placed();
}

}  // namespace vantrel::common
