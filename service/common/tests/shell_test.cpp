// The shared routines against the real registry, files and process start.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/run_time_error.h"
#include "list_files.h"
#include "settings_store.h"
#include "syslog_sender.h"

namespace vc = vantrel::common;

namespace {

const std::string kKey = "SOFTWARE\\Pelorin Software\\Quenloc\\CommonTest";

class Settings : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey.c_str()); }
    void TearDown() override { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey.c_str()); }
    // Characters stored, NUL included if there is one (the registry keeps UTF-16).
    static DWORD RawSize(const wchar_t* name) {
        vantrel::RegKey key;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey.c_str(), 0, KEY_READ, key.put())) return ~0u;
        wchar_t buffer[4096];
        DWORD size = sizeof(buffer);
        if (::RegQueryValueExW(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size)) return ~0u;
        return size / sizeof(wchar_t);
    }
    static void Raw(const char* name, DWORD type, const void* data, DWORD size) {
        vantrel::RegKey key;
        ASSERT_EQ(::RegCreateKeyA(HKEY_LOCAL_MACHINE, kKey.c_str(), key.put()), ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExA(key.get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
};

TEST_F(Settings, TextsAreStoredWithoutNulAndReadBackEitherWay) {
    // Writing creates the missing key.
    ASSERT_TRUE(vc::SetKeyValue(HKEY_LOCAL_MACHINE, kKey, 1, "SendEmail", "1"));
    EXPECT_EQ(RawSize(L"SendEmail"), 1u);
    std::string out = "old";
    EXPECT_TRUE(vc::GetKeyValue(HKEY_LOCAL_MACHINE, kKey, "SendEmail", out));
    EXPECT_EQ(out, "1");

    Raw("WithNul", REG_SZ, "1", 2);
    out.clear();
    EXPECT_TRUE(vc::GetKeyValue(HKEY_LOCAL_MACHINE, kKey, "WithNul", out));
    EXPECT_EQ(out, "1");

    // A number given for a text is stored as its decimal text.
    ASSERT_TRUE(vc::SetKeyValue(HKEY_LOCAL_MACHINE, kKey, 1, "Number", 0));
    EXPECT_TRUE(vc::GetKeyValue(HKEY_LOCAL_MACHINE, kKey, "Number", out));
    EXPECT_EQ(out, "0");
}

TEST_F(Settings, UnreadableValuesLeaveTheOutTextAlone) {
    ASSERT_TRUE(vc::SetKeyValue(HKEY_LOCAL_MACHINE, kKey, 1, "UserName", ""));
    EXPECT_EQ(RawSize(L"UserName"), 0u);
    std::string out = "keep";
    EXPECT_FALSE(vc::GetKeyValue(HKEY_LOCAL_MACHINE, kKey, "UserName", out));
    EXPECT_EQ(out, "keep");

    ASSERT_TRUE(vc::SetKeyValue(HKEY_LOCAL_MACHINE, kKey, 1, "Long", std::string(2000, 'x')));
    EXPECT_FALSE(vc::GetKeyValue(HKEY_LOCAL_MACHINE, kKey, "Long", out));
    EXPECT_EQ(out, "keep");
    EXPECT_FALSE(vc::GetKeyValue(HKEY_LOCAL_MACHINE, kKey, "Missing", out));
    EXPECT_FALSE(vc::GetKeyValue(HKEY_LOCAL_MACHINE, kKey + "\\Nowhere", "Missing", out));
    EXPECT_EQ(out, "keep");

    ASSERT_TRUE(vc::SetKeyValue(HKEY_LOCAL_MACHINE, kKey, 4, "Dword", 1));
    EXPECT_TRUE(vc::GetKeyValue(HKEY_LOCAL_MACHINE, kKey, "Dword", out));
    EXPECT_EQ(out, "1");
    ASSERT_TRUE(vc::SetKeyValue(HKEY_LOCAL_MACHINE, kKey, 4, "Minus", -1));
    EXPECT_TRUE(vc::GetKeyValue(HKEY_LOCAL_MACHINE, kKey, "Minus", out));
    EXPECT_EQ(out, "-1");
    out = "keep";
    ASSERT_TRUE(vc::SetKeyValue(HKEY_LOCAL_MACHINE, kKey, 3, "Binary", "ab"));
    EXPECT_TRUE(vc::GetKeyValue(HKEY_LOCAL_MACHINE, kKey, "Binary", out));
    EXPECT_EQ(out, "keep");
    // A type that is not written leaves nothing behind.
    EXPECT_FALSE(vc::SetKeyValue(HKEY_LOCAL_MACHINE, kKey, 7, "Multi", "x"));
    EXPECT_EQ(RawSize(L"Multi"), ~0u);
}

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        char tmp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, tmp);
        dir_ = std::string(tmp) + "vantrel-common-" + std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryA(dir_.c_str(), nullptr);
    }
    void TearDown() override {
        for (const char* f : {"To.txt", "list.txt", "args.txt", "syslogsend.exe", "shell_copy.exe"}) ::DeleteFileA((dir_ + "\\" + f).c_str());
        ::RemoveDirectoryA(dir_.c_str());
    }
    std::string Read(const std::string& path) {
        vantrel::FileHandle h(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!h) return "<missing>";
        char buffer[4096];
        DWORD got = 0;
        ::ReadFile(h.get(), buffer, sizeof(buffer), &got, nullptr);
        return std::string(buffer, got);
    }
    void Write(const std::string& path, const std::string& content) {
        vantrel::FileHandle h(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        ::WriteFile(h.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    }
    std::string dir_;
};

TEST_F(Files, RecipientFileExpandsForTheEventsUser) {
    const std::string to = dir_ + "\\To.txt";
    // A missing file is created empty and reads as no recipients.
    std::string user = "DOMAIN\\name";
    EXPECT_EQ(vc::GetAddressesFromFile(to, user), "");
    EXPECT_EQ(Read(to), "");

    Write(to, "ops@example.com\r\n%USERNAME%@example.com\r\n@skip.example\r\n");
    EXPECT_EQ(vc::GetAddressesFromFile(to, user), "ops@example.com,name@example.com");
    EXPECT_EQ(user, "name");
    std::string nobody;
    EXPECT_EQ(vc::GetAddressesFromFile(to, nobody), "ops@example.com");

    // Saved by another editor: LF alone and CR alone end lines too.
    Write(to, "a@example.com\nb@example.com\rc@example.com\n");
    EXPECT_EQ(vc::GetAddressesFromFile(to, nobody), "a@example.com,b@example.com,c@example.com");
}

TEST_F(Files, ListsWriteCrLfLinesAndLoadInFileOrder) {
    const std::string list = dir_ + "\\list.txt";
    vc::WriteAddressesToFile({"Application Error\t1000", "Srv"}, list);
    EXPECT_EQ(Read(list), "Application Error\t1000\r\nSrv\r\n");
    std::vector<std::string> items;
    vc::LoadAddressesFromFile([&](const std::string& s) { items.push_back(s); }, list);
    EXPECT_EQ(items, (std::vector<std::string>{"Application Error\t1000", "Srv"}));
    // The list file's two names are one file.
    items.clear();
    vc::LoadAddressesFromFile([&](const std::string& s) { items.push_back(s); }, dir_ + "\\LIST.TXT");
    EXPECT_EQ(items.size(), 2u);
}

// The service reads the recipient file for every event while the manager may rewrite it:
// a reader sees the old list or the new one, never a part of either.
TEST_F(Files, AListRewrittenWhileItIsReadIsSeenWhole) {
    const std::string to = dir_ + "\\To.txt";
    std::vector<std::string> lists[2];
    std::string expected[2];
    for (int k = 0; k < 2; ++k) {
        for (int i = 0; i < 150 + 100 * k; ++i) lists[k].push_back(std::to_string(k) + "-" + std::to_string(i) + "@example.com");
        for (const auto& item : lists[k]) expected[k] += "," + item;
        expected[k].erase(0, 1);
    }
    vc::WriteAddressesToFile(lists[0], to);
    std::atomic<bool> done{false};
    std::string write_error;
    std::thread writer([&] {
        try {
            for (int i = 0; i < 100; ++i) vc::WriteAddressesToFile(lists[i % 2], to);
        } catch (const vc::RunTimeError& e) {
            write_error = e.what();
        }
        done = true;
    });
    int reads = 0, partial = 0;
    std::string sample;
    while (!done) {
        std::string user, got;
        try {
            got = vc::GetAddressesFromFile(to, user);
        } catch (const vc::RunTimeError& e) {
            got = std::string("error: ") + e.what();
        }
        ++reads;
        if (got != expected[0] && got != expected[1] && partial++ == 0) sample = got.substr(0, 120);
    }
    writer.join();
    EXPECT_EQ(write_error, "");
    EXPECT_EQ(partial, 0) << "of " << reads << " reads, e.g. \"" << sample << "\"";
    EXPECT_GT(reads, 0);
    std::string user;
    EXPECT_EQ(vc::GetAddressesFromFile(to, user), expected[1]);
}

TEST_F(Files, FilesThatCannotBeOpenedFailOnFirstUse) {
    const std::string bad = dir_ + "\\no-such-folder\\To.txt";
    vc::TextFile file = vc::OpenFileRead(bad);
    try {
        file.AtEnd();
        FAIL() << "read of an unopenable file succeeded";
    } catch (const vc::RunTimeError& e) {
        EXPECT_EQ(e.number, vc::kErrPathNotFound);
        EXPECT_NE(std::string(e.what()).find(bad), std::string::npos);
    }
    EXPECT_THROW(vc::WriteAddressesToFile({"x"}, bad), vc::RunTimeError);
    std::string user;
    EXPECT_THROW(vc::GetAddressesFromFile(bad, user), vc::RunTimeError);

    // A list that another program holds cannot be replaced: the write fails, naming the
    // file, and the old list stays whole with nothing left beside it.
    const std::string list = dir_ + "\\list.txt";
    Write(list, "Old\r\n");
    {
        vantrel::FileHandle holder(
            ::CreateFileA(list.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        try {
            vc::WriteAddressesToFile({"New"}, list);
            FAIL() << "replaced a held file";
        } catch (const vc::RunTimeError& e) {
            EXPECT_NE(std::string(e.what()).find(list), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(Read(list), "Old\r\n");
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((dir_ + "\\*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    std::vector<std::string> names;
    do {
        if (found.cFileName[0] != '.') names.push_back(found.cFileName);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    EXPECT_EQ(names, std::vector<std::string>{"list.txt"});
}

TEST_F(Files, SenderReceivesTheTextAsExactlyOneArgument) {
    char self[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string bin(self, n);
    bin = bin.substr(0, bin.find_last_of('\\'));
    ASSERT_TRUE(::CopyFileA((bin + "\\common_argv_record.exe").c_str(), (dir_ + "\\syslogsend.exe").c_str(), FALSE));

    const std::string texts[] = {
        "<14>plain text",
        "<11>System Log - 42 - The \"quoted\" service said \\\"hi\\\" and ended in C:\\dir\\",
        "<14>first line\r\nsecond line\ttabbed",
    };
    for (const auto& text : texts) {
        ::DeleteFileA((dir_ + "\\args.txt").c_str());
        vc::StartSyslogSender(dir_, text);
        std::string got = "<missing>";
        for (int i = 0; i < 200 && got == "<missing>"; ++i) {
            ::Sleep(50);
            got = Read(dir_ + "\\args.txt");
        }
        EXPECT_EQ(got, "2\n" + text);
    }
}

// Set for the copy of this program that MissingSenderIsAStartFailure runs.
constexpr char kCopyVariable[] = "VANTREL_SHELL_TEST_COPY";

TEST_F(Files, MissingSenderIsAStartFailure) {
    if (::GetEnvironmentVariableA(kCopyVariable, nullptr, 0)) {
        // The copy, beside which there is no sender: a debug line starts nothing while debug
        // lines are off, and fails to start the sender once they are on.
        vc::DebugEnabled = false;
        EXPECT_NO_THROW(vc::DebugLog("not sent"));
        vc::DebugEnabled = true;
        EXPECT_THROW(vc::DebugLog("sent"), vc::RunTimeError);
        vc::DebugEnabled = false;
        return;
    }
    try {
        vc::StartSyslogSender(dir_ + "\\absent", "<14>x");
        FAIL() << "started a missing program";
    } catch (const vc::RunTimeError& e) {
        EXPECT_EQ(e.number, vc::kErrFileNotFound);
    }
    // Debug lines start the sender from beside the program, where the build has one: the
    // check runs in a copy of this program in a folder without it.
    char self[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    ASSERT_TRUE(n > 0 && n < MAX_PATH);
    const std::string copy = dir_ + "\\shell_copy.exe";
    ASSERT_TRUE(::CopyFileA(self, copy.c_str(), FALSE));
    std::string command = "\"" + copy + "\" --gtest_filter=Files.MissingSenderIsAStartFailure";
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(::SetEnvironmentVariableA(kCopyVariable, "1"));
    const BOOL started =
        ::CreateProcessA(copy.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    ::SetEnvironmentVariableA(kCopyVariable, nullptr);
    ASSERT_TRUE(started) << ::GetLastError();
    vantrel::Handle process(pi.hProcess);
    vantrel::Handle thread(pi.hThread);
    ASSERT_EQ(::WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    ::GetExitCodeProcess(process.get(), &code);
    EXPECT_EQ(code, 0u) << "the copy's debug lines failed (its output is above)";
}

}  // namespace
