#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/trace.h"
#include "win_support.h"

namespace {

using trap_test::ProgramName;
using trap_test::ReadFile;
using trap_test::TrapIni;

TEST(TrapSettings, NoIniFileTracesNothingButKeepsTheCallStack) {
    TrapIni ini(nullptr);
    trap::HollinPUSH("MainForm", "Sub Main", "");
    const trap::TrapState& s = trap::Globals();
    EXPECT_TRUE(s.settings_loaded);
    EXPECT_EQ(s.exe_prefix, "[" + ProgramName() + "] ");
    EXPECT_EQ(s.project_name, ProgramName());
    // The dialog's class was registered by the program itself.
    std::string upper = ProgramName() + ".EXE";
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(s.host_module_name, upper);
    EXPECT_FALSE(s.in_development_host);
    EXPECT_FALSE(s.settings.circular_log_on);
    EXPECT_EQ(s.settings.include_arguments, 0);
    EXPECT_EQ(s.call_stack[1], " 1 : MainForm : Sub Main : ");
    EXPECT_EQ(s.call_stack[0].rfind("Hollin(tm) : Program START <", 0), 0u);
    trap::HollinPOP("MainForm", "Sub Main", "");
    EXPECT_EQ(s.depth, 0);
    EXPECT_EQ(s.trace_sequence, 0);
    EXPECT_EQ(GetErrorMode() & (SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX),
              static_cast<UINT>(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX));
}

TEST(TrapSettings, IniBesideTheProgramIsReadWithTheSystemsProfileReader) {
    TrapIni ini("[Preferences]\r\nSilent Run=2\r\nForce System Info=1\r\n[EMAIL]\r\nAddress=ops@example.org\r\n"
                "[log file]\r\nWrite To Disk=1\r\n");
    trap::HollinLoadSettings();
    const trap::TrapSettings& s = trap::Globals().settings;
    EXPECT_EQ(s.silent_run, -2);
    EXPECT_TRUE(s.force_system_info);
    EXPECT_EQ(s.email_address, "ops@example.org");
    EXPECT_EQ(s.log_file_path, trap_test::ProgramFolder() + "\\error.log");
    EXPECT_EQ(s.include_user, -1);  // no "include" section: every flag on
}

TEST(TraceOutputs, CircularLogAndCaptureFileGetEveryLine) {
    TrapIni ini("[Log File]\r\nCircularLog=1\r\nWrite To Disk=1\r\nCapture To Disk=1\r\nLog File=trap_capture.log\r\n"
                "[CircularLog]\r\nFileName=trap_circ.log\r\nRecordSize=200\r\nMaxRecords=3\r\n"
                "[include]\r\nResources=0\r\nMemory=0\r\nUser=0\r\n");
    const std::string circ = ini.File("trap_circ.log");
    const std::string capture = ini.File("trap_capture.log");
    trap::HollinPUSH("MainForm", "Sub Main", "");
    trap::HollinPUSH("MainForm", "Sub LoadSettings", "");
    trap::HollinPOP("MainForm", "Sub LoadSettings", "");
    trap::HollinPOP("MainForm", "Sub Main", "");
    EXPECT_EQ(trap::Globals().trace_sequence, 4);

    // Start line, then four trace lines: the fifth record wraps to record 2.
    const std::string bytes = ReadFile(circ);
    ASSERT_EQ(bytes.size(), 512u + 3 * 200);
    EXPECT_EQ(bytes.substr(0, 12), std::string(4, '\0') + "200HM100");
    const std::string prefix = "[" + ProgramName() + "] ";
    auto record = [&](int k) { return bytes.substr(512 + (k - 1) * 200, 200); };
    EXPECT_EQ(record(1).rfind(prefix + "[00003] [", 0), 0u) << record(1);
    EXPECT_NE(record(1).find("] <-\tMainForm : Sub LoadSettings : \r\n"), std::string::npos);
    EXPECT_NE(record(2).find("] <-MainForm : Sub Main : \r\n"), std::string::npos) << record(2);
    EXPECT_NE(record(3).find("] ->\tMainForm : Sub LoadSettings : \r\n"), std::string::npos);
    EXPECT_EQ(record(3).back(), '\0');

    const std::string log = ReadFile(capture);
    EXPECT_NE(log.find(" - start Hollin client v1.0 data capture\r\n\r\n"), std::string::npos);
    EXPECT_NE(log.find("[00001] ["), std::string::npos);
    EXPECT_NE(log.find("->\tMainForm : Sub LoadSettings : \r\n\r\n"), std::string::npos);
    EXPECT_NE(log.find("[00004] ["), std::string::npos);
}

// A remote trace viewer of the test's own on a thread of its own.
class Viewer {
public:
    explicit Viewer(const char* title, bool pause) : pause_(pause) {
        thread_ = std::thread([this, title] { Run(title); });
        while (!hwnd_) Sleep(5);
    }
    ~Viewer() {
        PostMessageA(hwnd_, WM_CLOSE, 0, 0);
        thread_.join();
    }
    std::vector<std::string> lines;
    std::vector<int> queries;
    std::atomic<HWND> watched{nullptr};
    bool watched_was_disabled = false;

private:
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<Viewer*>(GetWindowLongPtrA(h, GWLP_USERDATA));
        if (self && msg == WM_SETTEXT) {
            const char* text = reinterpret_cast<const char*>(lp);
            self->lines.emplace_back(text, wp);
            return self->pause_ && self->lines.size() == 1 ? 128 : 1;
        }
        if (self && msg == WM_USER + 100) {
            self->queries.push_back(static_cast<int>(wp));
            if (self->watched && !IsWindowEnabled(self->watched)) self->watched_was_disabled = true;
            // Stay paused for one round, then let go through the second query.
            return wp == 1 ? 1 : (self->queries.size() >= 4 ? 1 : 0);
        }
        if (msg == WM_CLOSE) {
            DestroyWindow(h);
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcA(h, msg, wp, lp);
    }
    void Run(const char* title) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TrapTestViewer";
        RegisterClassA(&wc);
        HWND h = CreateWindowExA(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        hwnd_ = h;
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    }
    bool pause_;
    std::atomic<HWND> hwnd_{nullptr};
    std::thread thread_;
};

TEST(RemoteViewer, FoundByTitleAndFedEveryLine) {
    EXPECT_TRUE(trap::IsRemoteViewerTitle("Tesmore Hollin"));
    EXPECT_TRUE(trap::IsRemoteViewerTitle("Tesmore Hollin - trace"));
    EXPECT_FALSE(trap::IsRemoteViewerTitle("Tesmore Hollin2"));
    EXPECT_FALSE(trap::IsRemoteViewerTitle("tesmore hollin"));

    TrapIni ini("[include]\r\nResources=0\r\nMemory=0\r\nUser=0\r\nArguments=1\r\n");
    Viewer viewer("Tesmore Hollin - test", false);
    trap::HollinPUSH("MainForm", "Sub Main", "x");
    trap::HollinPOP("MainForm", "Sub Main", "x");
    EXPECT_TRUE(trap::Globals().RemoteViewerPresent());
    ASSERT_EQ(viewer.lines.size(), 3u);
    EXPECT_NE(viewer.lines[0].find(" - start Hollin client v1.0 data capture\r\n"), std::string::npos);
    EXPECT_NE(viewer.lines[1].find("] [00001] ["), std::string::npos);
    EXPECT_NE(viewer.lines[1].find("] ->MainForm : Sub Main : x\r\n"), std::string::npos) << viewer.lines[1];
    EXPECT_NE(viewer.lines[2].find("] <-MainForm : Sub Main : x\r\n"), std::string::npos) << viewer.lines[2];
}

TEST(RemoteViewer, AnswerOf128PausesWithTheProgramsWindowsDisabled) {
    TrapIni ini("[include]\r\nResources=0\r\n");
    HWND form = CreateWindowExA(0, "STATIC", "form", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(form);
    Viewer viewer("Tesmore Hollin", true);
    viewer.watched = form;
    trap::HollinPUSH("MainForm", "Sub Main", "");  // the start line is answered with 128
    EXPECT_EQ(viewer.queries, (std::vector<int>{1, 2, 1, 2}));
    EXPECT_TRUE(viewer.watched_was_disabled);
    EXPECT_TRUE(IsWindowEnabled(form));
    trap::HollinPOP("MainForm", "Sub Main", "");
    EXPECT_EQ(viewer.lines.size(), 3u);
    DestroyWindow(form);
}

}  // namespace
