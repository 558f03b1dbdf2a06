// The error dialog driven as a user would, through window messages from a thread of the
// test, while the error entry waits for its answer.
#include <gtest/gtest.h>

#include <fstream>
#include <mutex>

#include "core/error_classes.h"
#include "dialog_driver.h"
#include "printer.h"
#include "win_support.h"

namespace {

using trap_test::Choose;
using trap_test::Click;
using trap_test::ComboItems;
using trap_test::DialogDriver;
using trap_test::ListItems;
using trap_test::Text;
using trap_test::Visible;

// The viewer end of the system's help call: a window "MS_WINHELP" on a thread of its
// own that keeps what each call asked for, so that no help viewer starts.
class FakeHelpViewer {
public:
    struct Request {
        unsigned command = 0;
        long data = 0;
        std::string file;
    };
    FakeHelpViewer() {
        ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this] { Run(); });
        WaitForSingleObject(ready_, 5000);
    }
    ~FakeHelpViewer() {
        PostThreadMessageA(thread_id_, WM_QUIT, 0, 0);
        thread_.join();
        CloseHandle(ready_);
    }
    std::vector<Request> Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    // The layout of the help call's data in the copy message.
#pragma pack(push, 1)
    struct Header {
        WORD size, command;
        LONG data, reserved;
        WORD file_offset, data_offset;
    };
#pragma pack(pop)

    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_COPYDATA) {
            auto* self = reinterpret_cast<FakeHelpViewer*>(GetWindowLongPtrA(w, GWLP_USERDATA));
            auto* copy = reinterpret_cast<COPYDATASTRUCT*>(lp);
            if (self && copy && copy->cbData >= sizeof(Header)) {
                const auto* h = static_cast<const Header*>(copy->lpData);
                Request r;
                r.command = h->command;
                r.data = h->data;
                if (h->file_offset && h->file_offset < copy->cbData)
                    r.file.assign(static_cast<const char*>(copy->lpData) + h->file_offset,
                                  strnlen(static_cast<const char*>(copy->lpData) + h->file_offset,
                                          copy->cbData - h->file_offset));
                std::lock_guard<std::mutex> lock(self->mutex_);
                self->requests_.push_back(r);
            }
            return TRUE;
        }
        return DefWindowProcA(w, m, wp, lp);
    }
    void Run() {
        thread_id_ = GetCurrentThreadId();
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "MS_WINHELP";
        RegisterClassA(&wc);
        HWND w = CreateWindowExA(0, "MS_WINHELP", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists before the quit
        SetEvent(ready_);
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        DestroyWindow(w);
        UnregisterClassA("MS_WINHELP", wc.hInstance);
    }

    HANDLE ready_ = nullptr;
    DWORD thread_id_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<Request> requests_;
};

class ErrorDialog : public ::testing::Test {
protected:
    void SetUp() override {
        trap::HollinLoadSettings();
        trap::HollinPUSH("MainForm", "Sub Main", "");
        trap::HollinPUSH("MainForm", "Sub SvcIt1_Start", "");
        trap::HollinPUSH("MainForm", "Sub LoadSettings", "");
    }
    trap::Answer Error(int32_t number, const std::string& source = {}, int32_t line = 0,
                       const std::string& procedure = "Sub LoadSettings") {
        trap::RunTimeError e(number, {}, source);
        e.line = line;
        return trap::HollinERROR("MainForm", procedure, e);
    }

    trap_test::TrapIni ini_{nullptr};
};

TEST_F(ErrorDialog, OutsideTheDevelopmentHostOnlyTheCommentViewAndContinue) {
    struct Seen {
        std::string caption, summary, comment, labels, values, buttons, trace_paused;
        std::vector<std::string> views, records;
        bool more = true, help = true, check = true, panel0 = false, panel1 = true;
        RECT go_on{}, print{};
    } seen;
    trap::Globals().user_comment = "earlier comment";
    DialogDriver driver([&](HWND d) {
        seen.caption = Text(d);
        seen.summary = Text(d, trap::kLblErrCnt);
        seen.comment = Text(d, trap::kText1);
        seen.views = ComboItems(GetDlgItem(d, trap::kCombo1));
        seen.records = ComboItems(GetDlgItem(d, trap::kErrText));
        for (int id : {trap::kNsCtrlLabel7, trap::kNsCtrlProjLab, trap::kNsCtrlLabel1, trap::kNsCtrlLabel2,
                       trap::kNsCtrlLabel4, trap::kNsCtrlLabel5, trap::kNsCtrlLabel6})
            seen.labels += Text(d, id) + "|";
        for (int id : {trap::kErrType, trap::kErrProject, trap::kErrModule, trap::kErrProcedure, trap::kErrLine,
                       trap::kErrNo})
            seen.values += Text(d, id) + "|";
        seen.buttons = Text(d, trap::kNsCtrlContinue) + "|" + Text(d, trap::kHollinPrint) + "|" + Text(d, trap::kNsCtrlMore);
        seen.more = Visible(d, trap::kNsCtrlMore);
        seen.help = Visible(d, trap::kNsHelp);
        seen.check = Visible(d, trap::kCmdWWW);
        seen.panel0 = Visible(d, trap::kText1);
        seen.panel1 = Visible(d, trap::kErrType);
        GetWindowRect(GetDlgItem(d, trap::kNsCtrlContinue), &seen.go_on);
        GetWindowRect(GetDlgItem(d, trap::kHollinPrint), &seen.print);
        for (int i = 0; i < 100 && !trap::Globals().trace_paused; ++i) Sleep(10);
        seen.trace_paused = trap::Globals().trace_paused ? "paused" : "running";
        SetWindowTextA(GetDlgItem(d, trap::kText1), "I was starting the service");
        Click(d, trap::kNsCtrlContinue);
    });
    EXPECT_EQ(Error(53, {}, 120), trap::Answer(int16_t{0}));
    ASSERT_TRUE(driver.Found());

    EXPECT_EQ(seen.caption, "Program Error Intercepted");
    EXPECT_EQ(seen.summary, "An unexpected 'file not found' error occured in " + trap_test::ProgramName() +
                                ".\r\n1 error(s) are logged.");
    EXPECT_EQ(seen.comment, "Type in what you were doing here.");
    EXPECT_EQ(seen.views, (std::vector<std::string>{"To help resolve the problem, please enter what you were doing."}));
    EXPECT_EQ(seen.records, (std::vector<std::string>{"Error 1 - File not found"}));
    EXPECT_EQ(seen.labels, "Category |Source |Module |Procedure |Line Number |Error No. |Description |");
    EXPECT_EQ(seen.values, "File System (disk, directory or file) access error|" + trap_test::ProgramName() +
                               " (local)| MainForm| Sub LoadSettings| 120| 53|");
    EXPECT_EQ(seen.buttons, "&Continue|Print|&Break to");
    EXPECT_FALSE(seen.more);
    EXPECT_FALSE(seen.help);
    EXPECT_FALSE(seen.check);
    EXPECT_TRUE(seen.panel0);
    EXPECT_FALSE(seen.panel1);
    // Continue stands just left of Print.
    EXPECT_LE(seen.go_on.right, seen.print.left);
    EXPECT_GE(seen.go_on.right, seen.print.left - 2);
    EXPECT_EQ(seen.trace_paused, "paused");
    EXPECT_FALSE(trap::Globals().trace_paused);
    EXPECT_EQ(trap::Globals().user_comment, "I was starting the service");
    EXPECT_EQ(FindWindowA(trap::kErrorDialogClass, nullptr), nullptr);
}

TEST_F(ErrorDialog, InsideTheDevelopmentHostBreakAnswersFiveAndKeepsTheComment) {
    trap::Globals().in_development_host = true;  // forced: our builds never run inside it
    trap::Globals().user_comment = "comment of the last Continue";
    std::vector<std::string> views;
    LRESULT view = -1;
    bool more = false, help = false, check = false, panel1 = false;
    std::string help_file;
    DialogDriver driver([&](HWND d) {
        views = ComboItems(GetDlgItem(d, trap::kCombo1));
        view = SendMessageA(GetDlgItem(d, trap::kCombo1), CB_GETCURSEL, 0, 0);
        more = Visible(d, trap::kNsCtrlMore);
        help = Visible(d, trap::kNsHelp) && IsWindowEnabled(GetDlgItem(d, trap::kNsHelp));
        check = Visible(d, trap::kCmdWWW);
        panel1 = Visible(d, trap::kErrType) && !Visible(d, trap::kText1);
        help_file = trap::Globals().app_help_file;
        Click(d, trap::kNsCtrlMore);
    });
    EXPECT_EQ(Error(53), trap::Answer(int16_t{5}));
    ASSERT_TRUE(driver.Found());
    EXPECT_EQ(views.size(), 4u);
    EXPECT_EQ(view, 1);
    EXPECT_TRUE(more);
    EXPECT_TRUE(help);
    EXPECT_TRUE(check);
    EXPECT_TRUE(panel1);
    EXPECT_EQ(help_file, "hollin.hlp");
    EXPECT_EQ(trap::Globals().app_help_file, "");
    EXPECT_EQ(trap::Globals().user_comment, "comment of the last Continue");
}

TEST_F(ErrorDialog, RemoteChainShowsTheLastRecordAndTheComponentsInTheCallTree) {
    std::string summary, number, line, module;
    std::vector<std::string> records, calls;
    LRESULT chosen = -1, selected_call = -1;
    DialogDriver driver([&](HWND d) {
        summary = Text(d, trap::kLblErrCnt);
        records = ComboItems(GetDlgItem(d, trap::kErrText));
        chosen = SendMessageA(GetDlgItem(d, trap::kErrText), CB_GETCURSEL, 0, 0);
        number = Text(d, trap::kErrNo);
        line = Text(d, trap::kErrLine);
        calls = ListItems(GetDlgItem(d, trap::kNsCtrlCalls));
        selected_call = SendMessageA(GetDlgItem(d, trap::kNsCtrlCalls), LB_GETCURSEL, 0, 0);
        Choose(d, trap::kErrText, 0);  // back to record 0
        module = Text(d, trap::kErrModule);
    });
    EXPECT_EQ(Error(1001, "2A!M1!P1!10!5!B!M2!P2!20!6!"), trap::Answer(int16_t{0}));
    ASSERT_TRUE(driver.Found());
    std::string lower = trap::StandardMessage(5).text;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(summary, "An unexpected '" + lower + "' error occured in a component used by " +
                           trap_test::ProgramName() + ".\r\n3 error(s) are logged.");
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0], "Error 3 - Remote " + trap::StandardMessage(440).text);
    EXPECT_EQ(chosen, 2);
    EXPECT_EQ(number, " 5");
    EXPECT_EQ(line, " 10");
    EXPECT_EQ(module, " MainForm << M2 << M1");
    ASSERT_GE(calls.size(), 8u);
    EXPECT_EQ(calls[3], " 4 : Trap\t\t\tRuntime error 440, Remote " + trap::StandardMessage(440).text);
    EXPECT_EQ(selected_call, 3);
    EXPECT_EQ(calls[calls.size() - 2], " 7 : Call\t\t\t\t\tA (remote) : M1 : P1");
    EXPECT_EQ(calls.back(), " 8 : Error\t\t\t\t\tRuntime error 5, " + trap::StandardMessage(5).text + " on line 10");
}

TEST_F(ErrorDialog, CodePointerNoteAndACallTreeWithoutTrapLine) {
    trap::Globals().level_flag[3] = 9;
    std::string line;
    std::vector<std::string> calls;
    LRESULT selected = -1;
    DialogDriver driver([&](HWND d) {
        line = Text(d, trap::kErrLine);
        calls = ListItems(GetDlgItem(d, trap::kNsCtrlCalls));
        selected = SendMessageA(GetDlgItem(d, trap::kNsCtrlCalls), LB_GETCURSEL, 0, 0);
    });
    Error(11, {}, 0, "Sub Timer1_Timer");  // a tail that is not on the stack
    ASSERT_TRUE(driver.Found());
    EXPECT_EQ(line, " line numbers not used - Code Pointer = 9");
    EXPECT_EQ(calls, (std::vector<std::string>{
                         " 1 : Call\tMainForm : Sub Main :",
                         " 2 : Call\t\tMainForm : Sub SvcIt1_Start :",
                         " 3 : Call\t\t\tMainForm : Sub LoadSettings :",
                         " 4 : Code\t\t\tCode Pointer = 9",
                         " 5 : Error\t\t\tRuntime error 11, " + trap::StandardMessage(11).text,
                     }));
    EXPECT_EQ(selected, 4);
}

TEST_F(ErrorDialog, SystemInformationIsFilledOncePerDialog) {
    trap::Globals().settings.force_system_info = true;
    size_t views = 0;
    std::string first, again;
    bool more = true;
    auto script = [&](HWND d) {
        views = ComboItems(GetDlgItem(d, trap::kCombo1)).size();
        more = Visible(d, trap::kNsCtrlMore);
        Choose(d, trap::kCombo1, 3);
        first = Text(d, trap::kNsCtrlArgs);
        SetWindowTextA(GetDlgItem(d, trap::kNsCtrlArgs), "kept");
        Choose(d, trap::kCombo1, 0);
        Choose(d, trap::kCombo1, 3);
        again = Text(d, trap::kNsCtrlArgs);
    };
    {
        DialogDriver driver(script);
        Error(53);
        ASSERT_TRUE(driver.Found());
    }
    EXPECT_EQ(views, 4u);
    EXPECT_FALSE(more);
    EXPECT_NE(first.find("\r\n"), std::string::npos);
    EXPECT_GT(first.size(), 200u);
    EXPECT_EQ(again, "kept");
    // What the box held when the dialog was left is the saved report.
    EXPECT_EQ(trap::Globals().system_report_text, "kept");

    DialogDriver driver(script);
    Error(53);
    ASSERT_TRUE(driver.Found());
    EXPECT_GT(first.size(), 200u);  // a fresh dialog fills it again
}

TEST_F(ErrorDialog, DisplayModeReportStandsInTheBoxBeforeTheViewIsChosen) {
    trap::Globals().settings.display_mode = -1;
    std::string box;
    DialogDriver driver([&](HWND d) { box = Text(d, trap::kNsCtrlArgs); });
    Error(53);
    ASSERT_TRUE(driver.Found());
    EXPECT_GT(box.size(), 200u);
    EXPECT_NE(box.find("\r\n"), std::string::npos);
    EXPECT_EQ(trap::Globals().system_report_text, box);
}

TEST_F(ErrorDialog, PrintWithoutAPrinterFailsSilentlyAndTheDialogStays) {
    trap::Globals().settings.force_system_info = true;
    std::vector<std::vector<std::string>> printed;
    bool stayed = true;
    std::string comment;
    DialogDriver driver([&](HWND d) {
        SetWindowTextA(GetDlgItem(d, trap::kText1), "line one\r\nline two");
        for (int view = 0; view < 3; ++view) {
            Choose(d, trap::kCombo1, view);
            printed.push_back(trap::ErrorDialogPrintLines(d));
            Click(d, trap::kHollinPrint);
            stayed = stayed && IsWindowVisible(d);
        }
        SendMessageA(GetDlgItem(d, trap::kNsCtrlCalls), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        printed.push_back(trap::ErrorDialogPrintLines(d));
        Click(d, trap::kHollinPrint);
        stayed = stayed && IsWindowVisible(d) && trap_test::FindVisible("#32770", 200) == nullptr;
        comment = Text(d, trap::kText1);
    });
    EXPECT_EQ(Error(53, {}, 7), trap::Answer(int16_t{0}));
    ASSERT_TRUE(driver.Found());
    EXPECT_TRUE(stayed);
    ASSERT_EQ(printed.size(), 4u);
    EXPECT_EQ(printed[0], (std::vector<std::string>{"line one", "line two"}));
    ASSERT_EQ(printed[1].size(), 7u);
    EXPECT_EQ(printed[1][0], "Category File System (disk, directory or file) access error");
    EXPECT_EQ(printed[1][2], "Module  MainForm");
    EXPECT_EQ(printed[1][4], "Line Number  7");
    EXPECT_EQ(printed[1][6], "Description Error 1 - File not found");
    // The call tree up to the trap line, which is selected.
    EXPECT_EQ(printed[2], (std::vector<std::string>{" 1 : Call\tMainForm : Sub Main :",
                                                    " 2 : Call\t\tMainForm : Sub SvcIt1_Start :",
                                                    " 3 : Call\t\t\tMainForm : Sub LoadSettings :"}));
    EXPECT_TRUE(printed[3].empty());
    EXPECT_EQ(trap::Globals().user_comment, "line one\r\nline two");
}

// A printer where the platform has none: a memory device context that keeps the
// document's name, its pages and its lines. Like a spooler it allocates memory before it
// reads the name, so a name that points into freed memory shows as a wrong name.
struct FakePrinter {
    static FakePrinter*& Current() {
        static FakePrinter* current = nullptr;
        return current;
    }
    std::string doc_name;
    int pages = 0, documents = 0;
    std::vector<std::string> lines;
    bool dc_deleted = false;

    static BOOL WINAPI Default(LPSTR name, LPDWORD size) {
        static const char kName[] = "Fake Printer";
        if (!name || *size < sizeof kName) {
            *size = sizeof kName;
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        memcpy(name, kName, sizeof kName);
        return TRUE;
    }
    static HDC WINAPI Create(LPCSTR, LPCSTR device, LPCSTR, const DEVMODEA*) {
        return device && std::string(device) == "Fake Printer" ? CreateCompatibleDC(nullptr) : nullptr;
    }
    static int WINAPI StartDoc(HDC, const DOCINFOA* doc) {
        std::vector<std::string> churn;
        for (int i = 0; i < 64; ++i) churn.emplace_back(std::string(25, '#'));
        Current()->doc_name = doc && doc->lpszDocName ? doc->lpszDocName : "";
        ++Current()->documents;
        return 1;
    }
    static int WINAPI StartPage(HDC) { return ++Current()->pages, 1; }
    static LONG WINAPI Text(HDC, int, int, LPCSTR text, int n, int, const INT*, int) {
        Current()->lines.emplace_back(text, static_cast<size_t>(n));
        return 1;
    }
    static int WINAPI EndPage(HDC) { return 1; }
    static int WINAPI EndDoc(HDC) { return 1; }
    static BOOL WINAPI Delete(HDC dc) {
        Current()->dc_deleted = true;
        return DeleteDC(dc);
    }

    FakePrinter() : saved_(trap::Printer()) {
        Current() = this;
        trap::Printer() = {Default, Create, StartDoc, StartPage, Text, EndPage, EndDoc, Delete};
    }
    ~FakePrinter() {
        trap::Printer() = saved_;
        Current() = nullptr;
    }

private:
    trap::PrinterCalls saved_;
};

TEST_F(ErrorDialog, PrintSendsTheViewAsOneDocumentNamedForTheReport) {
    FakePrinter printer;
    std::vector<std::string> shown;
    DialogDriver driver([&](HWND d) {
        SetWindowTextA(GetDlgItem(d, trap::kText1), "first\r\nsecond\r\nthird");
        shown = trap::ErrorDialogPrintLines(d);
        Click(d, trap::kHollinPrint);
    });
    EXPECT_EQ(Error(53), trap::Answer(int16_t{0}));
    ASSERT_TRUE(driver.Found());
    EXPECT_EQ(printer.documents, 1);
    EXPECT_EQ(printer.doc_name, "Program Error Intercepted");
    EXPECT_EQ(printer.pages, 1);
    EXPECT_EQ(printer.lines, (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_EQ(printer.lines, shown);
    EXPECT_TRUE(printer.dc_deleted);
}

TEST_F(ErrorDialog, CloseThroughTheFrameActsAsContinue) {
    DialogDriver driver([&](HWND d) {
        SetWindowTextA(GetDlgItem(d, trap::kText1), "closed it");
        SendMessageA(d, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(Error(53), trap::Answer(int16_t{0}));
    ASSERT_TRUE(driver.Found());
    EXPECT_EQ(trap::Globals().user_comment, "closed it");
}

TEST_F(ErrorDialog, KeysOtherThanF1AreIgnoredAndEachActivationSelectsTheComment) {
    bool stayed_after_escape = false, paused_again = false;
    DWORD selection_end = 0;
    std::string comment_after_escape;
    DialogDriver driver([&](HWND d) {
        HWND comment = GetDlgItem(d, trap::kText1);
        for (int i = 0; i < 100 && !trap::Globals().trace_paused; ++i) Sleep(10);  // the first activation
        SetWindowTextA(comment, "typed");
        // Escape, as the keyboard delivers it to the focused comment box: nothing happens.
        PostMessageA(comment, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageA(comment, WM_KEYUP, VK_ESCAPE, 0xC0010001);
        Sleep(300);
        stayed_after_escape = IsWindowVisible(d) != FALSE;
        comment_after_escape = Text(comment);
        // Back to the window after another one had the focus: the activate steps run again.
        SendMessageA(comment, EM_SETSEL, 0, 0);
        trap::Globals().trace_paused = false;
        SendMessageA(d, WM_ACTIVATE, WA_INACTIVE, 0);
        SendMessageA(d, WM_ACTIVATE, WA_ACTIVE, 0);
        for (int i = 0; i < 100 && !trap::Globals().trace_paused; ++i) Sleep(10);
        paused_again = trap::Globals().trace_paused;
        Sleep(100);
        SendMessageA(comment, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&selection_end));
        Click(d, trap::kNsCtrlContinue);
    });
    EXPECT_EQ(Error(53), trap::Answer(int16_t{0}));
    ASSERT_TRUE(driver.Found());
    EXPECT_TRUE(stayed_after_escape);
    EXPECT_EQ(comment_after_escape, "typed");
    EXPECT_TRUE(paused_again);
    EXPECT_EQ(selection_end, 5u);  // the whole comment selected again
}

// A window of the trap's thread whose handler is a traced procedure.
struct TracedHandler {
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_APP) {
            auto* self = reinterpret_cast<TracedHandler*>(GetWindowLongPtrA(w, GWLP_USERDATA));
            trap::Frame frame("MainForm", "Sub Timer1_Timer");
            self->entered_while_paused = trap::Globals().trace_paused;
            self->ran = true;
            return 0;
        }
        return DefWindowProcA(w, m, wp, lp);
    }
    TracedHandler() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "trap_test_traced";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TracedHandler() { DestroyWindow(window); }
    HWND window = nullptr;
    std::atomic<bool> ran{false};
    bool entered_while_paused = true;
};

TEST_F(ErrorDialog, TracedProceduresWaitWhileTheDialogIsUp) {
    TracedHandler handler;
    bool ran_before_continue = true;
    DialogDriver driver([&](HWND d) {
        for (int i = 0; i < 100 && !trap::Globals().trace_paused; ++i) Sleep(10);
        PostMessageA(handler.window, WM_APP, 0, 0);
        Sleep(300);  // the handler's push waits for the pause to end
        ran_before_continue = handler.ran;
        Click(d, trap::kNsCtrlContinue);
    });
    EXPECT_EQ(Error(53), trap::Answer(int16_t{0}));
    ASSERT_TRUE(driver.Found());
    EXPECT_FALSE(ran_before_continue);
    EXPECT_TRUE(handler.ran);
    EXPECT_FALSE(handler.entered_while_paused);
    EXPECT_EQ(trap::Globals().depth, 3);
}

TEST_F(ErrorDialog, HelpGoesToTheHelpViewerOnlyInsideTheDevelopmentHost) {
    FakeHelpViewer viewer;
    // Outside: no program help file, so F1 asks for nothing.
    DialogDriver outside([&](HWND d) {
        PostMessageA(GetDlgItem(d, trap::kText1), WM_KEYDOWN, VK_F1, 0);
        Sleep(200);
    });
    Error(53);
    ASSERT_TRUE(outside.Found());
    EXPECT_TRUE(viewer.Requests().empty());

    trap::Globals().in_development_host = true;  // forced, as above
    DialogDriver inside([&](HWND d) {
        Click(d, trap::kNsHelp);
        // F1 names the control with the focus: press it once the activation has given the
        // focus to a control, as a person would, however slowly the dialog comes up.
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        for (int i = 0; i < 1000; ++i) {
            if (GetGUIThreadInfo(GetWindowThreadProcessId(d, nullptr), &gui) && IsChild(d, gui.hwndFocus)) break;
            Sleep(10);
        }
        PostMessageA(GetDlgItem(d, trap::kText1), WM_KEYDOWN, VK_F1, 0);
        for (int i = 0; i < 200 && viewer.Requests().size() < 2; ++i) Sleep(10);
    });
    Error(53);
    ASSERT_TRUE(inside.Found());
    const auto requests = viewer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].file, "hollin.hlp");  // the chosen record's help
    EXPECT_EQ(requests[0].command, static_cast<unsigned>(HELP_CONTEXT));
    EXPECT_EQ(requests[0].data, 53);
    EXPECT_EQ(requests[1].file, "hollin.hlp");  // the program's help file while the dialog is up
    EXPECT_EQ(requests[1].command, static_cast<unsigned>(HELP_CONTEXT));
    // The context is the control with the focus: the comment box after the activation,
    // Continue once the window has been painted.
    EXPECT_TRUE(requests[1].data == trap::kText1 || requests[1].data == trap::kNsCtrlContinue) << requests[1].data;
}

// The help engine's ProgID for as long as it lives, naming a class every prefix can
// create (the system's standard font object): the dialog only asks whether one is made.
class HelpEngineClass {
public:
    HelpEngineClass() {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
            static const char kStdFont[] = "{0BE35203-8F91-11CE-9DE3-00AA004BB851}";
            RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kStdFont), sizeof kStdFont);
            RegCloseKey(key);
        }
    }
    ~HelpEngineClass() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Classes\\HollinHelp.chelpengine"); }
    HelpEngineClass(const HelpEngineClass&) = delete;
    HelpEngineClass& operator=(const HelpEngineClass&) = delete;

private:
    static constexpr const char* kKey = "Software\\Classes\\HollinHelp.chelpengine\\CLSID";
};

TEST_F(ErrorDialog, HelpEngineHostDisablesHelpWithoutTheEngine) {
    trap::Globals().in_development_host = true;
    trap::Globals().host_module_name = trap::kHelpEngineHost;
    auto help_enabled = [&] {
        int enabled = -1;
        DialogDriver driver([&](HWND d) {
            enabled = IsWindowEnabled(GetDlgItem(d, trap::kNsHelp)) != FALSE;
            Click(d, trap::kNsHelp);  // nothing to show: the dialog stays
        });
        Error(53);
        EXPECT_TRUE(driver.Found());
        return enabled;
    };
    EXPECT_EQ(help_enabled(), 0);
    HelpEngineClass engine;
    EXPECT_EQ(help_enabled(), 1);
}

TEST_F(ErrorDialog, KnowledgeBaseLookupInsideTheDevelopmentHost) {
    const std::string kb = trap::pfSys() + "\\allmskb.txt";
    DeleteFileA(kb.c_str());
    // Outside the development host the button does nothing, even when made visible.
    DialogDriver outside([&](HWND d) {
        trap_test::PostClick(d, trap::kCmdWWW);
        Sleep(100);
        EXPECT_EQ(trap_test::FindVisible("#32770", 100), nullptr);
    });
    Error(53);
    ASSERT_TRUE(outside.Found());

    trap::Globals().in_development_host = true;
    std::string missing, found, found_title, none;
    DialogDriver inside([&](HWND d) {
        trap_test::PostClick(d, trap::kCmdWWW);
        missing = trap_test::AnswerMessageBox();
        std::ofstream(kb, std::ios::binary) << "Q1 File not found on a share\r\nQ2 unrelated\r\nQ3 see ERROR 53\r\n";
        trap_test::PostClick(d, trap::kCmdWWW);
        found = trap_test::AnswerMessageBox(&found_title);
        std::ofstream(kb, std::ios::binary) << "Q9 nothing here\r\n";
        trap_test::PostClick(d, trap::kCmdWWW);
        none = trap_test::AnswerMessageBox();
    });
    Error(53);
    ASSERT_TRUE(inside.Found());
    DeleteFileA(kb.c_str());
    EXPECT_EQ(missing, "Cannot find allmskb.txt -- assistance not available.");
    EXPECT_EQ(found, "The following knowledge base article(s) may contain information to assist you:\r\n"
                     "\r\n - Q1 File not found on a share\r\n - Q3 see ERROR 53");
    EXPECT_EQ(found_title, "Hollin");
    EXPECT_EQ(none, "No matching article was found. Try searching the knowledge base for the error number.");
}

TEST(ErrorEntryWin, SilentRunAnswersLeaveWithoutAWindow) {
    trap_test::TrapIni ini("[preferences]\r\nSilent Run=1\r\n");
    DialogDriver watch([](HWND) {}, 1500);
    trap::HollinPUSH("MainForm", "Sub Main", "");
    EXPECT_EQ(trap::HollinERROR("MainForm", "Sub Main", trap::RunTimeError(53)), trap::Answer());
    EXPECT_FALSE(watch.Found());
    EXPECT_FALSE(trap::Globals().trace_paused);
    EXPECT_EQ(trap::Globals().error_record[0].number, 53);
}

TEST(ErrorEntryWin, ErrorLogOfASilentRunHoldsTheRecord) {
    trap_test::TrapIni ini("[preferences]\r\nSilent Run=1\r\n[log file]\r\nWrite To Disk=1\r\nLog File=trap_entry.log\r\n");
    const std::string log = ini.File("trap_entry.log");
    trap::HollinPUSH("MainForm", "Sub LoadSettings", "");
    trap::RunTimeError error(53);
    error.line = 42;
    EXPECT_EQ(trap::HollinERROR("MainForm", "Sub LoadSettings", error), trap::Answer());
    const std::string text = trap_test::ReadFile(log);
    // The record's own lines, each whole: digits elsewhere (the time stamps) prove nothing.
    const std::string zone(14, ' '), description = trap::StandardMessage(53).text;
    const std::string record = "\r\nError Information\r\n\t*Error 1\r\n" + zone +
                               "Category File System (disk, directory or file) access error\r\n" + zone + "Source " +
                               trap_test::ProgramName() + " (local)\r\n" + zone + "Module MainForm\r\n" + zone +
                               "Procedure Sub LoadSettings\r\n" + zone + "Line Number 42\r\n" + zone +
                               "Error No. 53\r\n" + zone + "Description " + description + "\r\n";
    EXPECT_NE(text.find(record), std::string::npos) << text;
    EXPECT_NE(text.find(" : Trap\t\tRuntime error 53, " + description + " on line 42\r\n"), std::string::npos) << text;
}

}  // namespace
