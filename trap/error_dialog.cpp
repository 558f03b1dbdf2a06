// The error dialog "frmHOLLIN": a window of the trap's own class with its controls, four
// views, and the modal display that ShowErrorDialog runs.
#include "error_dialog.h"

#include <objbase.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <algorithm>
#include <fstream>
#include <memory>

#include "core/dialog_contents.h"
#include "core/error_classes.h"
#include "core/settings.h"
#include "platform/winapi/oleauto.h"
#include "printer.h"

namespace trap {
namespace {

constexpr UINT kMsgActivate = WM_APP + 1;  // the activate handler, once the dialog is up
constexpr int kClientWidth = 520, kClientHeight = 336;
constexpr int kPanelLeft = 10, kPanelTop = 40, kPanelWidth = 500, kPanelHeight = 190;
constexpr const char* kHelpEngineProgId = "HollinHelp.chelpengine";

// What one dialog instance keeps. ShowErrorDialog owns it, so that the answer can be
// read after the window is gone; a dialog created without it (the settings loader's
// probe) owns one of its own.
struct DialogState {
    bool owned_by_window = false;
    bool system_info_filled = false;
    bool activating = false;
    bool left = false;
    int16_t answer = kAnswerContinue;
    bool comment_kept = false;
    std::string comment;
    std::string help_file;  // the current help file and context, of the chosen record
    int32_t help_context = 0;
};

DialogState* StateOf(HWND window) { return reinterpret_cast<DialogState*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

std::string TextOf(HWND control) {
    if (!control) return {};
    const int length = GetWindowTextLengthA(control);
    std::string text(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
    const int got = GetWindowTextA(control, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(std::max(got, 0)));
    return text;
}

void SetText(HWND dialog, int id, const std::string& text) { SetWindowTextA(Item(dialog, id), text.c_str()); }

std::string TrimmedPlusBlank(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return " ";
    return text.substr(first, text.find_last_not_of(' ') - first + 1) + " ";
}

// A multi-line text box wants CR LF line ends.
std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

int PanelOf(int id) {
    switch (id) {
    case kText1: return 0;
    case kNsCtrlCalls: return 2;
    case kNsCtrlArgs: return 3;
    default: return id >= kNsCtrlProjLab && id <= kErrText ? 1 : -1;
    }
}

class WaitCursor {
public:
    WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)))) {}
    ~WaitCursor() { SetCursor(previous_ ? previous_ : LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW))); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

void CreateControls(HWND dialog) {
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    auto make = [&](const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id,
                    DWORD ex_style = 0) {
        HWND control = CreateWindowExA(ex_style, cls, text, WS_CHILD | style, x, y, w, h, dialog,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageA(control, WM_SETFONT, font, FALSE);
        return control;
    };
    make("COMBOBOX", "", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 10, 10, 500, 200, kCombo1);
    for (int i = 0; i < 4; ++i)
        make("STATIC", "", SS_ETCHEDFRAME, kPanelLeft, kPanelTop, kPanelWidth, kPanelHeight, kPicture1 + i);

    const int inner_left = kPanelLeft + 8, inner_top = kPanelTop + 8;
    const int inner_width = kPanelWidth - 16, inner_height = kPanelHeight - 16;
    make("EDIT", "", WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, inner_left,
         inner_top, inner_width, inner_height, kText1, WS_EX_CLIENTEDGE);

    // The error-source view: seven caption and value pairs.
    struct Row {
        int label, value;
        const char* kind;
        DWORD style;
    };
    const Row rows[] = {
        {kNsCtrlLabel7, kErrType, "EDIT", WS_TABSTOP | ES_AUTOHSCROLL | ES_READONLY},
        {kNsCtrlProjLab, kErrProject, "EDIT", WS_TABSTOP | ES_AUTOHSCROLL | ES_READONLY},
        {kNsCtrlLabel1, kErrModule, "STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX},
        {kNsCtrlLabel2, kErrProcedure, "STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX},
        {kNsCtrlLabel4, kErrLine, "STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX},
        {kNsCtrlLabel5, kErrNo, "STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX},
        {kNsCtrlLabel6, kErrText, "COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST},
    };
    for (int i = 0; i < 7; ++i) {
        const int y = inner_top + i * 25;
        make("STATIC", "", SS_RIGHT | SS_NOPREFIX, inner_left, y + 3, 100, 18, rows[i].label);
        const bool box = rows[i].kind[0] == 'E';
        make(rows[i].kind, "", rows[i].style, inner_left + 108, y, inner_width - 108,
             rows[i].value == kErrText ? 160 : 21, rows[i].value, box ? WS_EX_CLIENTEDGE : 0);
    }

    make("LISTBOX", "", WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_USETABSTOPS,
         inner_left, inner_top, inner_width, inner_height, kNsCtrlCalls, WS_EX_CLIENTEDGE);
    const INT tab_stop = 8;
    SendMessageA(Item(dialog, kNsCtrlCalls), LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&tab_stop));
    make("EDIT", "",
         WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_READONLY,
         inner_left, inner_top, inner_width, inner_height, kNsCtrlArgs, WS_EX_CLIENTEDGE);

    make("STATIC", "", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 10, 240, 500, 44, kLblErrCnt);

    const int buttons_top = 298;
    make("BUTTON", "Check", WS_TABSTOP | BS_PUSHBUTTON, 10, buttons_top, 80, 26, kCmdWWW);
    make("BUTTON", "Help", WS_TABSTOP | BS_PUSHBUTTON, 100, buttons_top, 80, 26, kNsHelp);
    make("BUTTON", "", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 250, buttons_top, 80, 26, kNsCtrlContinue);
    make("BUTTON", "", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 340, buttons_top, 80, 26, kNsCtrlMore);
    make("BUTTON", "", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 430, buttons_top, 80, 26, kHollinPrint);
}

void CentreOnScreen(HWND dialog) {
    RECT r{};
    GetWindowRect(dialog, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    SetWindowPos(dialog, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void BringPanelToFront(HWND dialog, int panel) {
    for (int i = 0; i < 4; ++i) ShowWindow(Item(dialog, kPicture1 + i), i == panel ? SW_SHOWNA : SW_HIDE);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const int in = PanelOf(GetDlgCtrlID(child));
        if (in >= 0) ShowWindow(child, in == panel ? SW_SHOWNA : SW_HIDE);
    }
}

// The error-record handler: shows record `i` of the error record.
void ShowRecord(HWND dialog) {
    DialogState* d = StateOf(dialog);
    const LRESULT i = SendMessageA(Item(dialog, kErrText), CB_GETCURSEL, 0, 0);
    if (i < 0 || i >= kErrorSlots || !d) return;
    const TrapState& s = Globals();
    const ErrorSlot& slot = s.error_record[static_cast<size_t>(i)];
    SetText(dialog, kErrType, slot.category);
    SetText(dialog, kErrNo, " " + std::to_string(slot.number));
    SetText(dialog, kErrModule, " " + slot.module);
    SetText(dialog, kErrProject, slot.source);
    SetText(dialog, kErrProcedure, " " + slot.procedure);
    SetText(dialog, kErrLine, LineCaption(slot.line, s.error_level_flag));
    d->help_file = slot.help_file;
    d->help_context = slot.help_context;
}

void FillSystemInfoView(HWND dialog) { SetText(dialog, kNsCtrlArgs, WithCrLf(SystemInfoReport())); }

// The view handler: the chosen view's panel comes to the front.
void ShowView(HWND dialog) {
    DialogState* d = StateOf(dialog);
    const LRESULT view = SendMessageA(Item(dialog, kCombo1), CB_GETCURSEL, 0, 0);
    if (view < 0 || view > 3 || !d) return;
    BringPanelToFront(dialog, static_cast<int>(view));
    try {
        if (view == 0) {
            HWND comment = Item(dialog, kText1);
            SendMessageA(comment, EM_SETSEL, 0, GetWindowTextLengthA(comment));
            SetFocus(comment);
        } else if (view == 3 && !d->system_info_filled) {
            WaitCursor wait;
            SetText(dialog, kNsCtrlArgs, "");
            FillSystemInfoView(dialog);
            d->system_info_filled = true;
        }
    } catch (...) {
    }
}

void SelectView(HWND dialog, int view) {
    SendMessageA(Item(dialog, kCombo1), CB_SETCURSEL, static_cast<WPARAM>(view), 0);
    ShowView(dialog);
}

void SelectRecord(HWND dialog, int index) {
    SendMessageA(Item(dialog, kErrText), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ShowRecord(dialog);
}

void Load(HWND dialog) {
    DialogState* d = StateOf(dialog);
    if (d) d->system_info_filled = false;
    SetWindowTextA(dialog, HollinReportText(34).c_str());
    SetText(dialog, kHollinPrint, "Print");
    SetText(dialog, kNsCtrlLabel1, TrimmedPlusBlank(HollinReportText(19)));
    SetText(dialog, kNsCtrlLabel2, TrimmedPlusBlank(HollinReportText(30)));
    SetText(dialog, kNsCtrlLabel4, HollinReportText(35));
    SetText(dialog, kNsCtrlLabel5, HollinReportText(36));
    SetText(dialog, kNsCtrlLabel6, HollinReportText(37));
    SetText(dialog, kNsCtrlLabel7, HollinReportText(38));
    SetText(dialog, kNsCtrlProjLab, HollinReportText(61));
    SetText(dialog, kNsCtrlContinue, HollinReportText(42));
    SetText(dialog, kNsCtrlMore, HollinReportText(44));
    CentreOnScreen(dialog);

    // Long call-tree lines scroll sideways: as wide as 128 letters "w".
    if (HDC dc = GetDC(dialog)) {
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(Item(dialog, kNsCtrlCalls), WM_GETFONT, 0, 0)));
        SIZE size{};
        const std::string ws(128, 'w');
        if (GetTextExtentPoint32A(dc, ws.c_str(), static_cast<int>(ws.size()), &size))
            SendMessageA(Item(dialog, kNsCtrlCalls), LB_SETHORIZONTALEXTENT,
                         static_cast<WPARAM>(static_cast<uint16_t>(std::min<LONG>(size.cx, 32767))), 0);
        SelectObject(dc, old);
        ReleaseDC(dialog, dc);
    }
    for (const char* view : kDialogViews) SendMessageA(Item(dialog, kCombo1), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(view));
    ShowRecord(dialog);
}

void OnKeyDown(HWND dialog, WPARAM key);

// One message of the dialog's thread, as the modal display handles it: F1 goes to the
// key-down handler first, keys move between the controls.
void DispatchDialogMessage(HWND dialog, MSG& msg) {
    if (msg.message == WM_KEYDOWN && (msg.hwnd == dialog || IsChild(dialog, msg.hwnd))) {
        OnKeyDown(dialog, msg.wParam);
        if (msg.wParam == VK_F1) return;
    }
    // Escape does nothing here: neither the navigation's cancel nor the multi-line edit's
    // close of its parent may answer the dialog.
    if ((msg.message == WM_KEYDOWN || msg.message == WM_KEYUP || msg.message == WM_CHAR) && msg.wParam == VK_ESCAPE &&
        (msg.hwnd == dialog || IsChild(dialog, msg.hwnd)))
        return;
    if (!IsWindow(dialog) || !IsDialogMessageA(dialog, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void Activate(HWND dialog) {
    try {
        Globals().trace_paused = true;
        // Pending messages go through as in the modal display itself.
        for (MSG msg; IsWindow(dialog) && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            DispatchDialogMessage(dialog, msg);
        }
        if (!IsWindow(dialog)) return;
        HWND comment = Item(dialog, kText1);
        SetFocus(comment);
        SendMessageA(comment, EM_SETSEL, 0, GetWindowTextLengthA(comment));
    } catch (...) {
    }
}

void Leave(HWND dialog, int16_t answer, bool keep_comment) {
    DialogState* d = StateOf(dialog);
    if (!d) return;
    d->answer = answer;
    if (keep_comment) {
        d->comment = TextOf(Item(dialog, kText1));
        d->comment_kept = true;
        Globals().user_comment = d->comment;
    }
    Globals().trace_paused = false;
    ShowWindow(dialog, SW_HIDE);
    d->left = true;
    // Wake the modal loop: a message sent from another thread does not end its wait.
    PostMessageA(dialog, WM_NULL, 0, 0);
}

void ShowHelpThroughEngine(const std::string& file, int32_t context) {
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(vantrel::WideFromAnsi(kHelpEngineProgId).c_str(), &clsid))) return;
    Microsoft::WRL::ComPtr<IDispatch> engine;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, reinterpret_cast<void**>(engine.GetAddressOf()))))
        return;
    std::wstring name = L"SHOWHELPid";
    LPOLESTR names[] = {name.data()};
    DISPID id = 0;
    if (FAILED(engine->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return;
    vantrel::Bstr bfile(vantrel::WideFromAnsi(file));
    VARIANT args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    args[0].vt = VT_I4;  // arguments go in reverse order
    args[0].lVal = context;
    args[1].vt = VT_BSTR;
    args[1].bstrVal = bfile.get();
    DISPPARAMS params{args, nullptr, 2, 0};
    engine->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

// Whether the help engine object can be created; the object is released at once.
bool HelpEngineAvailable() {
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(L"hollinhelp.chelpengine", &clsid))) return false;
    Microsoft::WRL::ComPtr<IUnknown> engine;
    return SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(engine.GetAddressOf())));
}

// COM for the calls that need it, when the thread has none yet.
class ComScope {
public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT hr_;
};

void OnHelp(HWND dialog) {
    DialogState* d = StateOf(dialog);
    if (!d) return;
    if (d->help_file.empty()) ShowRecord(dialog);
    try {
        if (Globals().host_module_name != kHelpEngineHost) {
            // No file to open: the help viewer would only say so.
            if (!d->help_file.empty())
                WinHelpA(nullptr, d->help_file.c_str(), HELP_CONTEXT, static_cast<ULONG_PTR>(d->help_context));
        } else {
            ComScope com;
            ShowHelpThroughEngine(d->help_file, d->help_context);
        }
    } catch (...) {
    }
}

void OnKnowledgeBase(HWND dialog) {
    const TrapState& s = Globals();
    if (!s.in_development_host) return;
    try {
        std::ifstream file(pfSys() + "\\allmskb.txt", std::ios::binary);
        if (!file) {
            MessageBoxA(dialog, "Cannot find allmskb.txt -- assistance not available.", s.program.name.c_str(), MB_OK);
            return;
        }
        std::string message;
        {
            WaitCursor wait;
            std::vector<std::string> lines;
            for (std::string line; std::getline(file, line);) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                lines.push_back(line);
            }
            const std::string number = TextOf(Item(dialog, kErrNo));
            const int32_t shown = static_cast<int32_t>(NumericValue(number));
            message = KnowledgeBaseMessage(lines, StandardMessage(shown).text, number);
        }
        MessageBoxA(dialog, message.c_str(), "Hollin", MB_OK | MB_ICONINFORMATION);
    } catch (...) {
    }
}

void OnPrint(HWND dialog) {
    try {
        WaitCursor wait;
        PrintToDefaultPrinter(ErrorDialogPrintLines(dialog));
    } catch (...) {
    }
}

void OnKeyDown(HWND dialog, WPARAM key) {
    if (key != VK_F1) return;
    const std::string& file = Globals().app_help_file;
    // Without a help file of the program there is nothing to open.
    if (file.empty()) return;
    HWND focus = GetFocus();
    const int context = focus && (focus == dialog || IsChild(dialog, focus)) ? GetDlgCtrlID(focus) : 0;
    WinHelpA(dialog, file.c_str(), HELP_CONTEXT, static_cast<ULONG_PTR>(std::max(context, 0)));
}

// Hover: the text of the control under the mouse goes to the status bar.
void OnHover(HWND dialog, HWND over) {
    int id = 0;
    if (over && over != dialog && IsChild(dialog, over)) {
        id = GetDlgCtrlID(over);
    } else {
        POINT pt{};
        GetCursorPos(&pt);
        ScreenToClient(dialog, &pt);
        HWND child = ChildWindowFromPointEx(dialog, pt, CWP_SKIPINVISIBLE);
        if (child && child != dialog) id = GetDlgCtrlID(child);
    }
    const std::string text = ErrorDialogHoverText(id);
    if (!text.empty()) UpdateStatusBar(text);
}

void OnCommand(HWND dialog, int id, int code) {
    switch (id) {
    case kCombo1:
        if (code == CBN_SELCHANGE) ShowView(dialog);
        break;
    case kErrText:
        if (code == CBN_SELCHANGE) ShowRecord(dialog);
        break;
    case kNsCtrlContinue:
        if (code == BN_CLICKED) Leave(dialog, kAnswerContinue, true);
        break;
    case kNsCtrlMore:
        if (code == BN_CLICKED) Leave(dialog, kAnswerBreak, false);
        break;
    case kHollinPrint:
        if (code == BN_CLICKED) OnPrint(dialog);
        break;
    case kNsHelp:
        if (code == BN_CLICKED) OnHelp(dialog);
        break;
    case kCmdWWW:
        if (code == BN_CLICKED) OnKnowledgeBase(dialog);
        break;
    default:
        break;
    }
}

// Disables the thread's other top-level windows while the dialog is modal.
class ModalScope {
public:
    explicit ModalScope(HWND dialog) : dialog_(dialog) {
        EnumThreadWindows(GetCurrentThreadId(), &ModalScope::Collect, reinterpret_cast<LPARAM>(this));
        for (HWND w : disabled_) EnableWindow(w, FALSE);
    }
    ~ModalScope() {
        for (HWND w : disabled_)
            if (IsWindow(w)) EnableWindow(w, TRUE);
    }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

private:
    static BOOL CALLBACK Collect(HWND w, LPARAM self_ptr) {
        auto* self = reinterpret_cast<ModalScope*>(self_ptr);
        if (w != self->dialog_ && IsWindowVisible(w) && IsWindowEnabled(w)) self->disabled_.push_back(w);
        return TRUE;
    }
    HWND dialog_;
    std::vector<HWND> disabled_;
};

struct WindowDestroyer {
    void operator()(HWND w) const {
        if (IsWindow(w)) DestroyWindow(w);
    }
};
using DialogWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

std::function<Answer()>& StandIn() {
    static std::function<Answer()> stand_in;
    return stand_in;
}

}  // namespace

std::string pfSys() {
    char buffer[256] = {};
    const UINT n = GetWindowsDirectoryA(buffer, 255);
    return std::string(buffer, n < 255 ? n : 0);
}

std::string ErrorDialogHoverText(int control) {
    switch (control) {
    case 0: return "Press 'Continue' to acknowledge this error and continue.";
    case kCmdWWW: return "Press to search the Microsoft Internet Knowledge Base for any relation to this error.";
    case kErrLine: case kNsCtrlLabel4: return "The line number where the error happened";
    case kErrModule: case kNsCtrlLabel1: return "The error module";
    case kErrNo: case kNsCtrlLabel5: return "The error number";
    case kErrProcedure: case kNsCtrlLabel2: return "The error procedure";
    case kErrProject: case kNsCtrlProjLab: return "The error source";
    case kErrType: case kNsCtrlLabel7: return "The error category";
    case kNsCtrlLabel6: return "A description of the error";
    case kHollinPrint: return "Press to print this tabs data to the default printer.";
    case kNsCtrlContinue: return "Press to acknowledge this error and continue.";
    case kNsCtrlMore: return "Press to break to design-mode in this procedure.";
    case kNsHelp: return "Press to show detailed help about this error.";
    default: return "";
    }
}

void UpdateStatusBar(const std::string& /*message*/) {}

std::vector<std::string> ErrorDialogPrintLines(HWND dialog) {
    std::vector<std::string> lines;
    const LRESULT view = SendMessageA(Item(dialog, kCombo1), CB_GETCURSEL, 0, 0);
    switch (view) {
    case 0:
        lines = SplitLines(TextOf(Item(dialog, kText1)));
        break;
    case 1: {
        const std::pair<int, int> pairs[] = {{kNsCtrlLabel7, kErrType},   {kNsCtrlProjLab, kErrProject},
                                             {kNsCtrlLabel1, kErrModule}, {kNsCtrlLabel2, kErrProcedure},
                                             {kNsCtrlLabel4, kErrLine},   {kNsCtrlLabel5, kErrNo},
                                             {kNsCtrlLabel6, kErrText}};
        for (const auto& [label, value] : pairs) lines.push_back(TextOf(Item(dialog, label)) + TextOf(Item(dialog, value)));
        break;
    }
    case 2: {
        HWND calls = Item(dialog, kNsCtrlCalls);
        const LRESULT selected = SendMessageA(calls, LB_GETCURSEL, 0, 0);
        for (LRESULT i = 0; i < selected; ++i) {
            const LRESULT length = SendMessageA(calls, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
            if (length < 0) continue;
            std::string item(static_cast<size_t>(length) + 1, '\0');
            const LRESULT got = SendMessageA(calls, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
            item.resize(got > 0 ? static_cast<size_t>(got) : 0);
            lines.push_back(item);
        }
        break;
    }
    case 3:
        lines = SplitLines(TextOf(Item(dialog, kNsCtrlArgs)));
        break;
    default:
        break;
    }
    return lines;
}

LRESULT CALLBACK ErrorDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_NCCREATE: {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
        auto* state = static_cast<DialogState*>(create->lpCreateParams);
        if (!state) {
            state = new (std::nothrow) DialogState;
            if (!state) return FALSE;
            state->owned_by_window = true;
        }
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
        break;
    }
    case WM_CREATE:
        try {
            CreateControls(window);
            Load(window);
        } catch (...) {
            return -1;
        }
        return 0;
    case WM_NCDESTROY: {
        DialogState* state = StateOf(window);
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        if (state && state->owned_by_window) delete state;
        break;
    }
    case WM_ACTIVATE:
        // Each time the window becomes active; the steps run once the activation is done.
        if (LOWORD(wparam) != WA_INACTIVE) PostMessageA(window, kMsgActivate, 0, 0);
        break;
    case kMsgActivate:
        // Activate lets messages through, so a second activation can arrive inside it.
        if (DialogState* d = StateOf(window); d && !d->activating && !d->left) {
            d->activating = true;
            Activate(window);
            if (DialogState* again = StateOf(window)) again->activating = false;
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        DialogState* d = StateOf(window);
        if (d && !d->left && IsWindowVisible(window)) {
            SetFocus(Item(window, kNsCtrlContinue));
            SendMessageA(Item(window, kNsCtrlArgs), EM_SETSEL, 0, 0);
        }
        return 0;
    }
    case WM_COMMAND:
        OnCommand(window, LOWORD(wparam), HIWORD(wparam));
        return 0;
    case WM_SETCURSOR:
        if (HIWORD(lparam) == WM_MOUSEMOVE) OnHover(window, reinterpret_cast<HWND>(wparam));
        break;
    case WM_CLOSE:
        // A close through the frame acknowledges the error like Continue.
        Leave(window, kAnswerContinue, true);
        return 0;
    case WM_DESTROY:
        // A dialog that goes away without an answer must not hold the trace back.
        if (DialogState* d = StateOf(window); d && !d->owned_by_window) Globals().trace_paused = false;
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

void SetErrorDialogStandIn(std::function<Answer()> stand_in) { StandIn() = std::move(stand_in); }

Answer ShowErrorDialog() {
    if (StandIn()) return StandIn()();
    TrapState& s = Globals();
    if (!RegisterErrorDialogClass()) return std::nullopt;

    // 1. Create the dialog; its load handler runs.
    DialogState state;
    RECT frame{0, 0, kClientWidth, kClientHeight};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const DWORD ex_style = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    DialogWindow owner(CreateWindowExA(ex_style, kErrorDialogClass, "", style, 0, 0, frame.right - frame.left,
                                       frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleA(nullptr), &state));
    HWND dialog = owner.get();
    if (!dialog) return std::nullopt;  // no window: the procedure leaves, as with Silent Run
    CentreOnScreen(dialog);
    // The report made for "Display Mode" already stands in the system-information box.
    if (s.settings.display_mode != 0) SetText(dialog, kNsCtrlArgs, WithCrLf(s.system_report_text));

    const ErrorSlot& first = s.error_record[0];
    SetText(dialog, kErrType, first.category);                       // 2
    const std::string kept_help_file = s.app_help_file;               // 3
    SendMessageA(Item(dialog, kNsCtrlCalls), LB_RESETCONTENT, 0, 0);  // 4
    if (s.in_development_host) {                                      // 5
        SelectView(dialog, 1);
        CentreOnScreen(dialog);
        SetText(dialog, kNsHelp, "Help");
        if (s.host_module_name == kHelpEngineHost) {
            bool available = false;
            try {
                ComScope com;
                available = HelpEngineAvailable();
            } catch (...) {
            }
            EnableWindow(Item(dialog, kNsHelp), available);
        } else {
            ShowWindow(Item(dialog, kNsHelp), SW_SHOWNA);
        }
        s.app_help_file = kErrorHelpFile;
        ShowWindow(Item(dialog, kCmdWWW), SW_SHOWNA);
    } else {  // 6
        if (!s.settings.force_system_info)
            for (int i = 0; i < 3; ++i) SendMessageA(Item(dialog, kCombo1), CB_DELETESTRING, 1, 0);
        SelectView(dialog, 0);
        ShowWindow(Item(dialog, kNsCtrlMore), SW_HIDE);
        RECT print{}, go_on{};
        GetWindowRect(Item(dialog, kHollinPrint), &print);
        GetWindowRect(Item(dialog, kNsCtrlContinue), &go_on);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&print), 2);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&go_on), 2);
        HDC screen = GetDC(nullptr);
        const int gap = MulDiv(10, screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96, 1440);  // 10 twips
        if (screen) ReleaseDC(nullptr, screen);
        SetWindowPos(Item(dialog, kNsCtrlContinue), nullptr, print.left - (go_on.right - go_on.left) - gap, go_on.top,
                     0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        CentreOnScreen(dialog);
        ShowWindow(Item(dialog, kNsHelp), SW_HIDE);
        ShowWindow(Item(dialog, kCmdWWW), SW_HIDE);
    }

    SetText(dialog, kText1, kCommentPrompt);                                      // 8
    SetText(dialog, kErrModule, " " + first.module);                              // 9
    SetText(dialog, kErrProject, first.source);
    SetText(dialog, kErrProcedure, " " + first.procedure);
    SetText(dialog, kErrLine, LineCaption(first.line, s.error_level_flag));
    SetText(dialog, kErrNo, " " + std::to_string(first.number));
    HWND records = Item(dialog, kErrText);                                         // 10
    SendMessageA(records, CB_RESETCONTENT, 0, 0);
    const std::vector<std::string> items = ErrorListItems(s);
    for (const std::string& item : items) SendMessageA(records, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    SelectRecord(dialog, 0);                                                       // 11
    SetText(dialog, kLblErrCnt, SummaryText(s, s.program.name));                   // 7, 12
    HWND calls = Item(dialog, kNsCtrlCalls);                                       // 13
    const CallTreeView tree = BuildCallTree(s);
    for (const std::string& line : tree.items) SendMessageA(calls, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    SendMessageA(calls, LB_SETCURSEL, static_cast<WPARAM>(FirstRuntimeErrorItem(tree.items)), 0);  // 14
    state.help_file = first.help_file;                                             // 15
    state.help_context = first.help_context;
    SelectRecord(dialog, static_cast<int>(items.size()) - 1);                      // 16

    {  // 17. Modal until Continue or Break hides it.
        ModalScope modal(dialog);
        ShowWindow(dialog, SW_SHOWNORMAL);
        SetForegroundWindow(dialog);
        PostMessageA(dialog, kMsgActivate, 0, 0);
        while (IsWindow(dialog) && !state.left) {
            MSG msg;
            const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            if (got == -1) break;
            if (got == 0) {
                // The program is ending: give the quit back to its own loop and leave.
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            DispatchDialogMessage(dialog, msg);
        }
    }

    const Answer answer = state.answer;                  // 18
    s.app_help_file = kept_help_file;                    // 19
    if (IsWindow(dialog)) s.system_report_text = TextOf(Item(dialog, kNsCtrlArgs));  // 20
    // The comment of this dialog's Continue, also when another error's dialog came after it.
    if (state.comment_kept) s.user_comment = state.comment;
    owner.reset();                                       // 21
    return answer;                                       // 22
}

}  // namespace trap
