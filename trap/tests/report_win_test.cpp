#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "core/error_log.h"
#include "core/mail_report.h"
#include "platform/winapi/handles.h"
#include "win_support.h"

namespace {

using trap_test::ProgramFolder;
using trap_test::ProgramName;
using trap_test::ReadFile;
using trap_test::TrapIni;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(SystemReport, ReportsTheRunningSystem) {
    TrapIni ini(nullptr);
    const std::string dll = ini.File(ProgramName() + ".dll");  // the file the "EXE" lines look at
    trap_test::WriteFile(dll, std::string(1234, 'x'));
    trap::HollinLoadSettings();
    const std::string r = trap::SystemInfoReport();
    EXPECT_EQ(r.rfind("Application running on computer ", 0), 0u) << r;
    EXPECT_TRUE(Contains(r, "\r\n   Title..............." + ProgramName() + "\r\n   Path................" +
                                ProgramFolder() + "\r\n   Project Version.....3.1.7\r\n   OLE Server..........NO\r\n"
                                "   Previous Instance...False\r\n  EXE Name............" + ProgramName() + "\r\n"));
    EXPECT_TRUE(Contains(r, "\r\n  EXE Size............1,234 bytes\r\n\r\nOperating System\r\n")) << r;
    // Wine reports Windows 7 SP1.
    EXPECT_TRUE(Contains(r, "Operating System\r\n   Windows Version.....Windows NT  6.1\r\n"
                            "   Build...............7601\r\n   Service Pack........Service Pack 1\r\n"
                            "   Debug Kernel........No\r\n   Language............"));
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    EXPECT_TRUE(Contains(r, "   Windows Directory..." + std::string(windows) + "\r\n"));
    EXPECT_TRUE(std::regex_search(r, std::regex("Memory Information\r\n   Total Physical\\.\\.\\.\\.\\.\\.[0-9,]+K\r\n"
                                                "   Available Physical\\.\\.[0-9,]+K\r\n"
                                                "   Virtual Memory\\.\\.\\.\\.\\.\\.[0-9,]+K\r\n"
                                                "   Available Virtual\\.\\.\\.[0-9,]+K\r\n"
                                                "   Pct Physical Free\\.\\.\\.[0-9.]*%\r\n\r\nProcessor\r\n"
                                                "   CPU\\.{17}.+\r\n   Number of CPUs\\.\\.\\.\\.\\.\\.[0-9]+\r\n"
                                                "Drives\r\n   Floppies\\.{12}0\r\n   Disks\\.{15}[0-9]+\r\n")))
        << r;
    EXPECT_TRUE(std::regex_search(r, std::regex("   Drive C:\\.{11}Fixed     [0-9,]* KB Free\r\n")));
    HDC screen = GetDC(nullptr);
    const int bits = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    EXPECT_TRUE(Contains(r, "   Colors.............." + std::to_string(uint64_t{1} << bits) + "\r\n"));
    EXPECT_TRUE(Contains(r, "Ports\r\n   Serial Driver......."));
    EXPECT_TRUE(Contains(r, "Keyboard\r\n   Driver.............."));
    EXPECT_FALSE(Contains(r, "Processes Running"));  // 6.1: no process list
    EXPECT_EQ(r.substr(r.size() - 6), "\r\n\r\n\r\n");
    EXPECT_EQ(trap::Globals().os_tag, "WINNT");
}

// An error as the error entry leaves it: record 0 and the call tree of depth 1.
void TrapAnError(const std::string& address) {
    trap::TrapState& s = trap::Globals();
    s.settings.email_address = address;
    auto& r = s.error_record[0];
    r.category = "File System (disk, directory or file) access error";
    r.source = ProgramName() + " (local)";
    r.module = "MainForm";
    r.procedure = "Sub LoadSettings";
    r.number = 53;
    r.description = "File not found";
    s.call_tree[0] = " 1";
    s.call_tree[1] = " 1 : MainForm : Sub LoadSettings : ";
    s.user_comment = "";
}

std::string WithoutStamps(const std::string& report) {
    const size_t first = report.find("\r\n");
    const size_t last = report.rfind("\r\n", report.size() - 3);
    return report.substr(first, last - first);
}

TEST(ErrorLog, EmptyLogPathWritesHollinErrorLogInTheCurrentDirectory) {
    TrapIni ini(nullptr);
    trap::HollinLoadSettings();
    TrapAnError("");
    DeleteFileA("HollinError.log");
    trap::WriteErrorLog();
    trap::WriteErrorLog();  // appended
    const std::string log = ReadFile("HollinError.log");
    DeleteFileA("HollinError.log");
    const std::string one = trap::FormatErrorLog(trap::Globals(), {}, {});
    ASSERT_EQ(log.size(), 2 * one.size());
    EXPECT_EQ(WithoutStamps(log.substr(0, one.size())), WithoutStamps(one));
    EXPECT_TRUE(Contains(log, "\r\n" + ProgramFolder() + "\\" + ProgramName() + " ver 3.1.7\r\nError Information\r\n"));
}

// A default Simple MAPI client named for the machine (HKLM) or for the user (HKCU); the
// client itself is always described under the machine's key.
class MailClient {
public:
    explicit MailClient(HKEY root = HKEY_LOCAL_MACHINE) {
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Clients\\Mail\\VantrelTestMail", 0, nullptr, 0, KEY_WRITE,
                        nullptr, client_.put(), nullptr);
        const std::string dll = ProgramFolder() + "\\trap_test_mapi.dll";
        RegSetValueExA(client_.get(), "DLLPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(dll.c_str()),
                       static_cast<DWORD>(dll.size() + 1));
        RegCreateKeyExA(root, "Software\\Clients\\Mail", 0, nullptr, 0, KEY_WRITE, nullptr, mail_.put(), nullptr);
        const char name[] = "VantrelTestMail";
        RegSetValueExA(mail_.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof name);
    }
    ~MailClient() {
        // Back to a prefix without a default mail client.
        RegDeleteValueA(mail_.get(), nullptr);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Clients\\Mail\\VantrelTestMail");
    }

private:
    vantrel::RegKey mail_, client_;
};

TEST(MailedReport, WithoutAMailClientTheSendFailsAndNothingElseChanges) {
    TrapIni ini("[log file]\r\nWrite To Disk=1\r\nLog File=trap_mail_error.log\r\n");
    trap::HollinLoadSettings();
    TrapAnError("ops@example.org");
    DeleteFileA("mapi_received.txt");
    const std::string path = trap::Globals().settings.log_file_path;
    trap::MailErrorReport();
    EXPECT_EQ(GetFileAttributesA("!error!.log"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA("mapi_received.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(trap::Globals().settings.log_file_path, path);
}

TEST(MailedReport, AMailClientChosenByTheUserIsUsedToo) {
    TrapIni ini(nullptr);
    trap::HollinLoadSettings();
    TrapAnError("Ops Team");
    DeleteFileA("mapi_received.txt");
    MailClient client(HKEY_CURRENT_USER);
    trap::MailErrorReport();
    const std::string got = ReadFile("mapi_received.txt");
    DeleteFileA("mapi_received.txt");
    EXPECT_NE(got.find("recip.name=Ops Team\n"), std::string::npos) << got;
}

TEST(MailedReport, TheMailClientReceivesTheThreeRecordsAndTheReport) {
    TrapIni ini(nullptr);
    trap::HollinLoadSettings();
    TrapAnError("Ops Team");
    trap::Globals().error_record[0].description = "";  // the note then holds " ()"
    DeleteFileA("mapi_received.txt");
    MailClient client;
    trap::MailErrorReport();
    const std::string got = ReadFile("mapi_received.txt");
    DeleteFileA("mapi_received.txt");
    const std::string note = "Tesmore Hollin reports error 53 () occured in " + ProgramName() +
                             ". The attached log file has complete details.";
    const std::string expected_head =
        "session=0\nui=0\nflags=1\nreserved=0\nmessage.reserved=0\nsubject=Remote Error Report From " +
        ProgramName() + "\nnote=" + note +
        "\ntype=IPM.\ndate=\nconversation=\nmessage.flags=0\noriginator=(null)\nrecipients=1\nfiles=1\n"
        "recip.reserved=0\nrecip.class=1\nrecip.name=Ops Team\nrecip.address=\nrecip.eidsize=0\nrecip.eid=(null)\n"
        "file.reserved=0\nfile.flags=0\nfile.position=" +
        std::to_string(note.size() - 1) +
        "\nfile.path=!error!.log\nfile.name=Hollinerror.log\nfile.type=(null)\nattachment=";
    ASSERT_EQ(got.substr(0, expected_head.size()), expected_head);
    const std::string attachment = got.substr(expected_head.size());
    EXPECT_EQ(WithoutStamps(attachment), WithoutStamps(trap::FormatErrorLog(trap::Globals(), {}, {})));
    // The temporary file is gone and the log path is back.
    EXPECT_EQ(GetFileAttributesA("!error!.log"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(trap::Globals().settings.log_file_path, "");
}

}  // namespace

namespace {

BOOL CALLBACK CollectText(HWND child, LPARAM param) {
    char buf[512] = {};
    GetWindowTextA(child, buf, sizeof buf);
    *reinterpret_cast<std::string*>(param) += std::string(buf) + "|";
    return TRUE;
}

// Reads the text of the message box with `title` once it is up, then presses OK.
std::string AnswerBox(const char* title) {
    HWND box = nullptr;
    for (int i = 0; i < 500 && !box; ++i) {
        box = FindWindowA(nullptr, title);
        if (!box) Sleep(10);
    }
    if (!box) return "(no box)";
    std::string text;
    EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&text));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return text;
}

TEST(InternalError, BoxNamesTheOperationAndTheError) {
    std::string seen;
    std::thread watcher([&] { seen = AnswerBox("Hollin - Internal Error Handler"); });
    trap::pfErr(53, "HollinSTART()");
    watcher.join();
    EXPECT_NE(seen.find("HollinSTART() generated error 53, 'File not found', inside HOLLIN"), std::string::npos)
        << seen;
}

}  // namespace
