#include "manager_form.h"

#include <commctrl.h>

#include <optional>
#include <vector>

#include "core/manager_tables.h"
#include "core/setting_value.h"
#include "list_files.h"
#include "ntservicex_host.h"
#include "platform/winapi/oleauto.h"
#include "resource.h"
#include "service_status.h"
#include "settings_store.h"
#include "setup_form.h"
#include "window_text.h"

namespace vantrel::manager {

namespace {

HINSTANCE g_instance = nullptr;
std::string g_folder;
PublicFields g_fields;
HIMAGELIST g_images = nullptr;
// The form's invisible service-control control.
NTServiceXHost g_ntservicex;
// Set when a failure ends the manager: the window then closes without its close steps.
bool g_failed = false;
// Starts and stops in progress: they nest, since the toolbar works during their waits.
int g_controlling = 0;
// The close steps are running; a close asked for meanwhile is already under way.
bool g_closing = false;
// A close asked for during a start or stop, carried out when the last one ends: the
// window and its control must outlive the operation, and a restart must not be lost.
bool g_close_deferred = false;

std::string ListPath() { return g_folder + "\\exclusions.txt"; }

std::optional<std::string> ReadSetting(const char* name) {
    std::string value;  // emptied before every read
    if (!common::GetKeyValue(HKEY_LOCAL_MACHINE, common::kSettingsKey, name, value)) return std::nullopt;
    return value;
}

void WriteSetting(const char* name, const char* value) {
    common::SetKeyValue(HKEY_LOCAL_MACHINE, common::kSettingsKey, common::kRegSz, name, std::string(value));
}

bool IsChecked(HWND form, int id) { return ::IsDlgButtonChecked(form, id) == BST_CHECKED; }

// A failure that ends the manager: named in a message box, then the window goes.
void EndWithError(HWND form, const ManagerError& e) {
    ::MessageBoxA(form, ErrorMessage(e).c_str(), "Vantrel Manager", MB_OK | MB_ICONERROR);
    g_failed = true;
    ::DestroyWindow(form);
}

// GetServiceStatus: the state text of the table, buttons 1 and 2 as it says.
std::string GetServiceStatus(HWND form) {
    const ServiceState state = StateFromStatus(QueryServiceStatusNumber(kServiceName));
    HWND toolbar = ::GetDlgItem(form, IDC_TOOLBAR1);
    if (state.start_enabled) ::SendMessageW(toolbar, TB_ENABLEBUTTON, IDC_START, MAKELPARAM(*state.start_enabled, 0));
    if (state.stop_enabled) ::SendMessageW(toolbar, TB_ENABLEBUTTON, IDC_STOP, MAKELPARAM(*state.stop_enabled, 0));
    return state.text;
}

void SetLabel(HWND form, const std::string& text) { ::SetDlgItemTextA(form, IDC_LABEL1, text.c_str()); }

// Start and stop through the form's control, late bound, in the order the manager has
// always used: access rights, the name, open manager and service, then the action. A
// failure there is shown with the control's description and the closing part still runs.
// The closing part runs each of its steps once, whatever fails in it, and reports only its
// first failure, the way a failed start or stop is shown: the control is closed, the wait
// is kept and the window stays usable (a state that cannot be read shows as empty and
// leaves the buttons as they were).
template <class Action>
void RunServiceControl(HWND form, const char* pending, int wait_seconds, Action&& action) {
    ++g_controlling;
    struct Done {
        HWND form;
        ~Done() {
            if (--g_controlling == 0 && g_close_deferred && !g_closing) {
                g_close_deferred = false;
                ::PostMessageW(form, WM_CLOSE, 0, 0);
            }
        }
    } done{form};
    SetLabel(form, pending);
    try {
        g_ntservicex.PutLong(dispid::kManagerAccess, 5);          // connect and enumerate
        g_ntservicex.PutLong(dispid::kServiceAccess, 983551);     // all access
        g_ntservicex.PutText(dispid::kServiceName, kServiceName);
        g_ntservicex.PutBool(dispid::kActiveManager, true);
        g_ntservicex.PutBool(dispid::kActiveService, true);
        action();
    } catch (const ManagerError& e) {
        ::MessageBoxA(form, e.what(), "Vantrel Manager", MB_OK);
    }

    std::optional<ManagerError> failure;
    auto step = [&](auto&& statement) {
        try {
            statement();
        } catch (const ManagerError& e) {
            if (!failure) failure = e;
        }
    };
    step([] { g_ntservicex.PutBool(dispid::kActiveService, false); });
    step([] { g_ntservicex.PutBool(dispid::kActiveManager, false); });
    PumpingSleep(wait_seconds);
    std::string state;
    step([&] { state = GetServiceStatus(form); });
    if (::IsWindow(form)) SetLabel(form, state);
    if (failure) ::MessageBoxA(form, failure->what(), "Vantrel Manager", MB_OK);
}
void StartMonitorService(HWND form) {
    RunServiceControl(form, "Start Pending", 3, [] { g_ntservicex.Call(dispid::kStartservice); });
}
void StopMonitorService(HWND form) {
    RunServiceControl(form, "Stop Pending", 4, [] {
        VARIANT stop;
        stop.vt = VT_I4;
        stop.lVal = 1;  // SERVICE_CONTROL_STOP
        g_ntservicex.Call(dispid::kControlService, {stop});
    });
}

void CreateToolbar(HWND form) {
    HWND toolbar = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                                     WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT | CCS_TOP, 0, 0, 0, 0,
                                     form, reinterpret_cast<HMENU>(IDC_TOOLBAR1), g_instance, nullptr);
    ::SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    // ImageList1: our own picture for each button, in the buttons' order; magenta is clear.
    g_images = ::ImageList_LoadImageA(g_instance, MAKEINTRESOURCEA(IDB_TOOLBAR), 16, 0, RGB(255, 0, 255), IMAGE_BITMAP,
                                      LR_CREATEDIBSECTION);
    ::SendMessageW(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(g_images));
    std::vector<TBBUTTON> buttons;
    int image = 0;
    for (const auto& b : ToolButtons()) {
        TBBUTTON tb{};
        tb.iBitmap = image++;
        tb.idCommand = b.command_id;
        tb.fsState = TBSTATE_ENABLED;
        tb.fsStyle = BTNS_BUTTON;
        buttons.push_back(tb);
    }
    ::SendMessageW(toolbar, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    ::SendMessageW(toolbar, TB_AUTOSIZE, 0, 0);
}

const ToolButton* ButtonOf(int command) {
    for (const auto& b : ToolButtons()) {
        if (b.command_id == command) return &b;
    }
    return nullptr;
}

INT_PTR CALLBACK ExclusionProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        ::SetWindowTextA(dlg, reinterpret_cast<const char*>(lp));
        ::SetWindowLongPtrW(dlg, DWLP_USER, 0);
        ::EnableWindow(::GetDlgItem(dlg, IDC_EX_OK), FALSE);
        ::EnableWindow(::GetDlgItem(dlg, IDC_EX_TEXT2), FALSE);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDC_EX_TEXT1:
            if (HIWORD(wp) == EN_CHANGE) {
                // While the source is empty, neither OK nor the ID can be used.
                const BOOL any = ::GetWindowTextLengthA(::GetDlgItem(dlg, IDC_EX_TEXT1)) > 0;
                ::EnableWindow(::GetDlgItem(dlg, IDC_EX_OK), any);
                ::EnableWindow(::GetDlgItem(dlg, IDC_EX_TEXT2), any);
            }
            return TRUE;
        case IDC_EX_OK: {
            // The ID is not checked: the service reads it as a number.
            const std::string entry = ListEntry(WindowTextOf(::GetDlgItem(dlg, IDC_EX_TEXT1)),
                                                WindowTextOf(::GetDlgItem(dlg, IDC_EX_TEXT2)));
            HWND list = ::GetDlgItem(::GetParent(dlg), IDC_LIST1);
            ::SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
            ::EndDialog(dlg, IDOK);
            return TRUE;
        }
        case IDC_EX_CANCEL:
        case IDCANCEL: ::EndDialog(dlg, IDCANCEL); return TRUE;
        }
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK AboutProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_INITDIALOG) {
        ::SetDlgItemTextA(dlg, IDC_AB_VERSION, "Version " VANTREL_PRODUCT_VERSION);
        return TRUE;
    }
    if (msg == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
        ::EndDialog(dlg, LOWORD(wp));
        return TRUE;
    }
    return FALSE;
}

void AddEntry(HWND form) {
    const char* caption = IsChecked(form, IDC_OPTEXCLUDE) ? "Add Exclusion" : "Add Inclusion";
    ::DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_EXCLUSION), form, ExclusionProc,
                      reinterpret_cast<LPARAM>(caption));
}

void DeleteEntry(HWND form) {
    HWND list = ::GetDlgItem(form, IDC_LIST1);
    LRESULT selected = ::SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR) {
        ::MessageBoxA(form, "Please Select An Item To Delete", "Select An Item To Delete", MB_OK | MB_ICONERROR);
        return;
    }
    ::SendMessageA(list, LB_DELETESTRING, selected, 0);
}

void ToolbarButtonClick(HWND form, int command) {
    const ToolButton* button = ButtonOf(command);
    if (!button) return;
    const std::string key = button->key;
    if (key == "startservice") StartMonitorService(form);
    else if (key == "stopservice") StopMonitorService(form);
    else if (key == "add") AddEntry(form);
    else if (key == "delete") DeleteEntry(form);
    else if (key == "setup") ShowSetup(g_instance, form);
    else if (key == "about") ::DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_ABOUT), form, AboutProc, 0);
}

void SwitchClick(HWND form, int id) {
    for (const auto& s : Switches()) {
        if (s.control_id == id) WriteSetting(s.setting, SwitchText(IsChecked(form, id)));
    }
}

void OptionClick(HWND form) {
    WriteSetting(common::SettingName(common::SettingId::IncludeExclude), IsChecked(form, IDC_OPTINCLUDE) ? "I" : "E");
}

bool FormLoad(HWND form) {
    CreateToolbar(form);
    // The form's controls exist, with their stored properties, before the load steps run.
    try {
        g_ntservicex.Create(g_instance);
    } catch (const ManagerError& e) {
        EndWithError(form, e);
        return false;
    }
    // Design states.
    for (const auto& s : Switches()) ::CheckDlgButton(form, s.control_id, s.design_checked ? BST_CHECKED : BST_UNCHECKED);
    ::CheckRadioButton(form, IDC_OPTINCLUDE, IDC_OPTEXCLUDE, kDesignInclude ? IDC_OPTINCLUDE : IDC_OPTEXCLUDE);
    try {
        SetLabel(form, GetServiceStatus(form));
    } catch (const ManagerError& e) {
        EndWithError(form, e);
        return false;
    }
    // A box whose state the read value changes runs its click handler, which writes that
    // value back unchanged.
    for (const auto& s : Switches()) {
        const bool now = IsChecked(form, s.control_id);
        const bool read = CheckedFromSetting(ReadSetting(s.setting), now);
        if (read != now) {
            ::CheckDlgButton(form, s.control_id, read ? BST_CHECKED : BST_UNCHECKED);
            SwitchClick(form, s.control_id);
        }
    }
    const char* mode = common::SettingName(common::SettingId::IncludeExclude);
    if (auto include = IncludeFromSetting(ReadSetting(mode))) {
        if (*include != IsChecked(form, IDC_OPTINCLUDE)) {
            ::CheckRadioButton(form, IDC_OPTINCLUDE, IDC_OPTEXCLUDE, *include ? IDC_OPTINCLUDE : IDC_OPTEXCLUDE);
            OptionClick(form);
        }
    }
    HWND list = ::GetDlgItem(form, IDC_LIST1);
    try {
        common::LoadAddressesFromFile(
            [list](const std::string& line) { ::SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str())); },
            ListPath());
    } catch (const common::RunTimeError& e) {
        EndWithError(form, ManagerError(E_FAIL, e.what()));
        return false;
    }
    return true;
}

// The list file is written before the restart question, so that a restarted service
// reads the list as the window leaves it.
void FormUnload(HWND form) {
    try {
        common::WriteAddressesToFile(ListItems(::GetDlgItem(form, IDC_LIST1)), ListPath());
    } catch (const common::RunTimeError& e) {
        ::MessageBoxA(form, RunTimeErrorText(e.number, e.what()).c_str(), "Vantrel Manager", MB_OK | MB_ICONERROR);
        g_failed = true;
        return;
    }
    char label[64] = {};
    ::GetDlgItemTextA(form, IDC_LABEL1, label, sizeof label);
    if (std::string(label) == "Running" &&
        ::MessageBoxA(form, "Do You Want To Restart The Vantrel Service?", "Vantrel", MB_YESNO | MB_ICONQUESTION) ==
            IDYES) {
        StopMonitorService(form);
        if (!g_failed) StartMonitorService(form);
    }
}

INT_PTR CALLBACK MainFormProc(HWND form, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        FormLoad(form);
        return TRUE;
    case WM_COMMAND: {
        const int id = LOWORD(wp);
        if (HIWORD(wp) != BN_CLICKED) return FALSE;
        if (id >= IDC_APPLICATIONCHECK && id <= IDC_CKERROR) SwitchClick(form, id);
        else if (id == IDC_OPTINCLUDE || id == IDC_OPTEXCLUDE) OptionClick(form);
        else if (ButtonOf(id)) ToolbarButtonClick(form, id);
        else return FALSE;
        return TRUE;
    }
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lp);
        if (hdr->code == TTN_GETDISPINFOA) {
            auto* info = reinterpret_cast<NMTTDISPINFOA*>(lp);
            if (const ToolButton* b = ButtonOf(static_cast<int>(hdr->idFrom))) info->lpszText = const_cast<char*>(b->tooltip);
            return TRUE;
        }
        if (hdr->code == TTN_GETDISPINFOW) {
            auto* info = reinterpret_cast<NMTTDISPINFOW*>(lp);
            static std::wstring text;
            if (const ToolButton* b = ButtonOf(static_cast<int>(hdr->idFrom))) {
                text = WideFromAnsi(b->tooltip);
                info->lpszText = text.data();
            }
            return TRUE;
        }
        return FALSE;
    }
    case WM_CLOSE:
        if (g_closing) return TRUE;
        if (g_controlling > 0) {
            g_close_deferred = true;
            return TRUE;
        }
        g_closing = true;
        FormUnload(form);
        ::DestroyWindow(form);
        return TRUE;
    case WM_DESTROY:
        g_ntservicex.Destroy();
        ::PostQuitMessage(g_failed ? 1 : 0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

PublicFields& MainFormFields() { return g_fields; }
const std::string& ProgramsFolderOfForms() { return g_folder; }

int RunManager(HINSTANCE instance, const std::string& programs_folder) {
    g_instance = instance;
    g_folder = programs_folder;
    g_failed = false;
    g_controlling = 0;
    g_closing = false;
    g_close_deferred = false;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);
    HWND form = ::CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAINFORM), nullptr, MainFormProc, 0);
    if (!form) return 1;
    if (HICON icon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_TALLISK))) {
        ::SendMessageW(form, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        ::SendMessageW(form, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    if (::IsWindow(form)) ::ShowWindow(form, SW_SHOW);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!::IsDialogMessageW(form, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    if (g_images) {
        ::ImageList_Destroy(g_images);
        g_images = nullptr;
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace vantrel::manager
