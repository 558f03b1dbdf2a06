#include "dll_support.h"

#include <gtest/gtest.h>

#include "platform/winapi/handles.h"

namespace vantrel::evtlog::test {
namespace {
const char kEventLogKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\";
}

TestLog::TestLog(const std::string& name, DWORD maxSize, DWORD retention)
    : name_(name), file_(ScratchPath(name + ".evt")) {
    RegKey key;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kEventLogKey + name).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key.get(), "File", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(file_.c_str()),
                   DWORD(file_.size() + 1));
    RegSetValueExA(key.get(), "MaxSize", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&maxSize), 4);
    RegSetValueExA(key.get(), "Retention", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&retention), 4);
}

TestLog::~TestLog() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, (kEventLogKey + name_).c_str());
    DeleteFileA(file_.c_str());
}

void TestLog::AddSource(const std::string& source) {
    RegKey key;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kEventLogKey + name_ + "\\" + source).c_str(), 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    DWORD types = 7;
    RegSetValueExA(key.get(), "TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types), 4);
}

void TestLog::SetMaxSize(DWORD maxSize) {
    RegKey key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kEventLogKey + name_).c_str(), 0, KEY_SET_VALUE, key.put()),
              ERROR_SUCCESS);
    RegSetValueExA(key.get(), "MaxSize", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&maxSize), 4);
}

DWORD TestLog::FileSize() const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return GetFileAttributesExA(file_.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
}

std::vector<ReadRecord> Parse(const BYTE* buffer, DWORD bytes) {
    std::vector<ReadRecord> out;
    DWORD at = 0;
    while (at < bytes) {
        auto* r = reinterpret_cast<const EVENTLOGRECORD*>(buffer + at);
        if (at + sizeof(DWORD) > bytes || r->Length < sizeof(EVENTLOGRECORD) || at + r->Length > bytes ||
            *reinterpret_cast<const DWORD*>(buffer + at + r->Length - 4) != r->Length) {
            ADD_FAILURE() << "malformed record at " << at;
            break;
        }
        const BYTE* p = buffer + at;
        ReadRecord rec;
        rec.number = r->RecordNumber;
        rec.type = r->EventType;
        rec.category = r->EventCategory;
        rec.eventId = r->EventID;
        rec.source = reinterpret_cast<const char*>(p + sizeof(EVENTLOGRECORD));
        rec.computer = reinterpret_cast<const char*>(p + sizeof(EVENTLOGRECORD) + rec.source.size() + 1);
        EXPECT_LE(r->UserSidOffset + r->UserSidLength, r->Length);
        EXPECT_LE(r->DataOffset + r->DataLength, r->Length - 4);
        rec.sid.assign(p + r->UserSidOffset, p + r->UserSidOffset + r->UserSidLength);
        const char* s = reinterpret_cast<const char*>(p + r->StringOffset);
        for (WORD i = 0; i < r->NumStrings; ++i) {
            rec.strings.emplace_back(s);
            s += rec.strings.back().size() + 1;
        }
        rec.data.assign(p + r->DataOffset, p + r->DataOffset + r->DataLength);
        out.push_back(std::move(rec));
        at += r->Length;
    }
    return out;
}

std::vector<ReadRecord> ReadAll(HANDLE h, DWORD direction, DWORD size) {
    std::vector<ReadRecord> all;
    std::vector<BYTE> buffer(size);
    for (;;) {
        DWORD read = 0, needed = 0;
        if (!Api().ReadEventLogA(h, EVENTLOG_SEQUENTIAL_READ | direction, 0, buffer.data(),
                                 DWORD(buffer.size()), &read, &needed)) {
            DWORD e = GetLastError();
            if (e == ERROR_INSUFFICIENT_BUFFER) {
                buffer.resize(needed);
                continue;
            }
            EXPECT_EQ(e, DWORD(ERROR_HANDLE_EOF));
            break;
        }
        for (auto& r : Parse(buffer.data(), read)) all.push_back(std::move(r));
        buffer.resize(size);
    }
    return all;
}

bool Report(HANDLE source, DWORD id, std::vector<std::string> strings, std::vector<BYTE> data, PSID sid) {
    std::vector<LPCSTR> p;
    for (auto& s : strings) p.push_back(s.c_str());
    return Api().ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 1, id, sid, WORD(p.size()),
                              DWORD(data.size()), p.empty() ? nullptr : p.data(),
                              data.empty() ? nullptr : data.data());
}

std::string ScratchPath(const std::string& name) {
    CreateDirectoryA(EVTLOG_SCRATCH, nullptr);
    std::string path = std::string(EVTLOG_SCRATCH) + "\\" + name;
    DeleteFileA(path.c_str());
    return path;
}

bool SetPrivilege(const wchar_t* name, bool enable) {
    Handle token;
    HANDLE t = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &t)) return false;
    token.reset(t);
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    if (!LookupPrivilegeValueW(nullptr, name, &tp.Privileges[0].Luid)) return false;
    tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    return AdjustTokenPrivileges(token.get(), FALSE, &tp, 0, nullptr, nullptr) &&
           GetLastError() == ERROR_SUCCESS;
}

std::string ComputerName() {
    char buf[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD n = sizeof buf;
    return GetComputerNameA(buf, &n) ? std::string(buf, n) : std::string();
}

}  // namespace vantrel::evtlog::test
