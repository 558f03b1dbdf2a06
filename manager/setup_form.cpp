#include "setup_form.h"

#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <vector>

#include "core/cipher.h"
#include "core/manager_tables.h"
#include "core/setting_value.h"
#include "core/syslog_text.h"
#include "list_files.h"
#include "manager_form.h"
#include "outside/mail/retry_window.h"
#include "platform/winapi/adopt.h"
#include "platform/winapi/dispatch_sink.h"
#include "platform/winapi/late_bound.h"
#include "platform/winapi/oleauto.h"
#include "resource.h"
#include "service_status.h"
#include "settings_store.h"
#include "syslog_sender.h"
#include "velmsendmail.h"
#include "window_text.h"

using Microsoft::WRL::ComPtr;

namespace vantrel::manager {

namespace {

// The mail control's members, reached by DISPID as the programs always have.
constexpr DISPID kBody = DISPID_VELMSENDMAIL_BODY, kSubject = DISPID_VELMSENDMAIL_SUBJECT,
                 kPassword = DISPID_VELMSENDMAIL_PASSWORD, kUserName = DISPID_VELMSENDMAIL_USERNAME,
                 kSMTPServer = DISPID_VELMSENDMAIL_SMTPSERVER, kFromEmail = DISPID_VELMSENDMAIL_FROMEMAIL,
                 kToEmail = DISPID_VELMSENDMAIL_TOEMAIL, kSendMessage = DISPID_VELMSENDMAIL_SENDMESSAGE;
constexpr DISPID kErrorEvent = DISPID_VELMSENDMAIL_ERROR, kSendCompleteEvent = DISPID_VELMSENDMAIL_SENDCOMPLETE;
const IID& kMailEvents = DIID___VelmSendmail;

HINSTANCE g_instance = nullptr;

std::string TextOf(HWND dlg, int id) { return WindowTextOf(::GetDlgItem(dlg, id)); }

using Id = common::SettingId;

std::string ReadSetting(Id id) {
    std::string value;  // emptied before every read: an unreadable value shows empty
    common::GetKeyValue(HKEY_LOCAL_MACHINE, common::kSettingsKey, common::SettingName(id), value);
    return value;
}

void Write(Id id, const std::string& value) {
    common::SetKeyValue(HKEY_LOCAL_MACHINE, common::kSettingsKey, common::kRegSz, common::SettingName(id), value);
}

std::string ToPath() { return ProgramsFolderOfForms() + "\\To.txt"; }

// The window's state while it is shown.
struct SetupWindow {
    HWND dlg = nullptr;
    ComPtr<IDispatch> mail;
    vantrel::com::Connection events;  // the mail control's two events, on the window's thread
    bool busy = false;  // hourglass between SendMessage and its event
    HRESULT mail_error = S_OK;

    void SetBusy(bool on) {
        busy = on;
        ::SetCursor(::LoadCursorA(nullptr, on ? IDC_WAIT : IDC_ARROW));
    }
    // The mail control's failure, whether it refused a call or reported it later.
    void MailFailed(const std::string& text) {
        ::MessageBoxA(dlg, ("SMTP Error: " + text).c_str(), "Vantrel", MB_OK | MB_ICONEXCLAMATION);
        SetBusy(false);
    }
};

vantrel::com::CallOutcome PutText(IDispatch* control, DISPID id, const std::string& value) {
    std::vector<VARIANT> args{vantrel::com::TextVariant(WideFromAnsi(value))};
    return vantrel::com::InvokeMember(control, id, DISPATCH_PROPERTYPUT, args);
}

void CreateMailControl(SetupWindow& w) {
    CLSID clsid;
    HRESULT hr = ::CLSIDFromProgID(L"VelmSendMail.VelmSendmail", &clsid);
    if (SUCCEEDED(hr)) hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &w.mail);
    if (SUCCEEDED(hr)) {
        ComPtr<vantrel::com::DispatchSink> sink = vantrel::com::Adopt(new vantrel::com::DispatchSink(kMailEvents));
        SetupWindow* owner = &w;  // the window unadvises before it goes
        sink->On(kSendCompleteEvent, [owner](DISPPARAMS*) {
            ::MessageBoxA(owner->dlg, "Email Sent Successfully", "Vantrel", MB_OK | MB_ICONINFORMATION);
            owner->SetBusy(false);
        });
        sink->On(kErrorEvent, [owner](DISPPARAMS* params) {
            owner->MailFailed(AnsiFromWide(vantrel::com::EventArgumentText(params, 0)));
        });
        hr = w.events.Connect(w.mail.Get(), kMailEvents, sink.Get());
    }
    // The test mail answers at once with what the server says now, rather than keeping
    // the hourglass up while a server that is down is tried again for minutes.
    ComPtr<velmsendmail::IVelmSendmailRetry> retry;
    if (SUCCEEDED(hr) && SUCCEEDED(w.mail->QueryInterface(velmsendmail::IID_IVelmSendmailRetry,
                                                         reinterpret_cast<void**>(retry.GetAddressOf()))))
        retry->SetRetryWindow(0);
    w.mail_error = hr;
}

void ReleaseMailControl(SetupWindow& w) {
    w.events.Reset();
    w.mail.Reset();
}

void FormLoad(SetupWindow& w) {
    HWND dlg = w.dlg;
    HWND list = ::GetDlgItem(dlg, IDC_SU_LIST1);
    common::LoadAddressesFromFile(
        [list](const std::string& line) { ::SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str())); },
        ToPath());
    HWND protocol = ::GetDlgItem(dlg, IDC_SU_PROTOCOL);
    ::SendMessageA(protocol, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("TCP"));
    ::SendMessageA(protocol, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("UDP"));
    ::SetDlgItemTextA(dlg, IDC_SU_TEXT1, ReadSetting(Id::SMTPServer).c_str());
    ::SetDlgItemTextA(dlg, IDC_SU_TEXT2, ReadSetting(Id::FromEmail).c_str());
    ::SetDlgItemTextA(dlg, IDC_SU_TEXT3, ReadSetting(Id::UserName).c_str());
    ::SetDlgItemTextA(dlg, IDC_SU_TEXT4, common::RC4ED(ReadSetting(Id::Password), common::PasswordKey).c_str());
    ::SetDlgItemTextA(dlg, IDC_SU_TEXT5, ReadSetting(Id::SyslogConsoleName).c_str());
    // The design value "514" gives way to the setting, or to an empty text.
    ::SetDlgItemTextA(dlg, IDC_SU_TEXT6, ReadSetting(Id::SyslogConsolePort).c_str());
    ::SendMessageA(protocol, CB_SETCURSEL, ReadSetting(Id::SyslogProtocol) == "UDP" ? 1 : 0, 0);
    ::CheckDlgButton(dlg, IDC_SU_SECURE, ReadSetting(Id::SecureConsole) == "1" ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(dlg, IDC_SU_SENDEMAIL, ReadSetting(Id::SendEmail) == "1" ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(dlg, IDC_SU_CONSOLE, ReadSetting(Id::SendSyslogMessage) == "1" ? BST_CHECKED : BST_UNCHECKED);
}

void Ok(SetupWindow& w) {
    HWND dlg = w.dlg;
    PublicFields& f = MainFormFields();
    f.strSMTPServer = TextOf(dlg, IDC_SU_TEXT1);
    f.strFromEmail = TextOf(dlg, IDC_SU_TEXT2);
    f.strUserName = TextOf(dlg, IDC_SU_TEXT3);
    f.strPassword = TextOf(dlg, IDC_SU_TEXT4);
    f.strConsoleName = TextOf(dlg, IDC_SU_TEXT5);
    f.strConsolePort = TextOf(dlg, IDC_SU_TEXT6);
    f.strConsoleProtocol = TextOf(dlg, IDC_SU_PROTOCOL);
    f.bSecureConsole = ::IsDlgButtonChecked(dlg, IDC_SU_SECURE) == BST_CHECKED;
    // SaveSMTPSettings
    Write(Id::SMTPServer, f.strSMTPServer);
    Write(Id::FromEmail, f.strFromEmail);
    Write(Id::UserName, f.strUserName);
    Write(Id::Password, common::RC4ED(f.strPassword, common::PasswordKey));
    Write(Id::SendEmail, ::IsDlgButtonChecked(dlg, IDC_SU_SENDEMAIL) == BST_CHECKED ? "1" : "0");
    // SaveSyslogSettings
    Write(Id::SyslogConsoleName, f.strConsoleName);
    Write(Id::SyslogConsolePort, f.strConsolePort);
    Write(Id::SyslogProtocol, f.strConsoleProtocol);
    Write(Id::SendSyslogMessage, ::IsDlgButtonChecked(dlg, IDC_SU_CONSOLE) == BST_CHECKED ? "1" : "0");
    common::WriteAddressesToFile(ListItems(::GetDlgItem(dlg, IDC_SU_LIST1)), ToPath());
}

void TestMail(SetupWindow& w) {
    HWND dlg = w.dlg;
    HWND list = ::GetDlgItem(dlg, IDC_SU_LIST1);
    const std::vector<std::string> items = ListItems(list);
    if (items.empty()) {
        ::MessageBoxA(dlg, "No Recipients Entered.  Please Enter A Recipient And Try Again.", "Test Cancelled",
                      MB_OK | MB_ICONINFORMATION);
        return;
    }
    // Each item is selected while it is read: the last one ends selected.
    ::SendMessageA(list, LB_SETCURSEL, items.size() - 1, 0);
    if (!w.mail) {
        ::MessageBoxA(dlg, "SMTP Error: the mail control VelmSendmail.ocx is not available", "Vantrel",
                      MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    IDispatch* m = w.mail.Get();
    std::vector<std::pair<DISPID, std::string>> fields{
        {kSMTPServer, TextOf(dlg, IDC_SU_TEXT1)}, {kToEmail, TestRecipients(items)}, {kFromEmail, TextOf(dlg, IDC_SU_TEXT2)}};
    const std::string user = TextOf(dlg, IDC_SU_TEXT3), password = TextOf(dlg, IDC_SU_TEXT4);
    if (!user.empty()) fields.emplace_back(kUserName, user);
    if (!password.empty()) fields.emplace_back(kPassword, password);
    fields.emplace_back(kSubject, kTestSubject);
    fields.emplace_back(kBody, kTestBody);
    // A refused field or send is reported at once: no event will follow it.
    vantrel::com::CallOutcome outcome;
    for (const auto& [id, value] : fields) {
        outcome = PutText(m, id, value);
        if (FAILED(outcome.hr)) break;
    }
    if (SUCCEEDED(outcome.hr)) {
        std::vector<VARIANT> none;
        outcome = vantrel::com::InvokeMember(m, kSendMessage, DISPATCH_METHOD, none);
    }
    if (FAILED(outcome.hr)) {
        w.MailFailed(CallFailure(outcome).what());
        return;
    }
    w.SetBusy(true);
}

void SendSyslogTest(HWND dlg) {
    try {
        const int16_t priority = common::SyslogPriority(common::kDebugFacility, common::kDebugSeverity);
        common::StartSyslogSender(ProgramsFolderOfForms(), common::SyslogLine(priority, kTestSyslogText));
    } catch (const common::RunTimeError& e) {
        ::MessageBoxA(dlg, ("Error: " + std::to_string(e.number) + " - " + e.what()).c_str(), "Vantrel Manager", MB_OK);
    }
}

struct InputRequest {
    const char* prompt;
    const char* title;
    std::string answer;
};

INT_PTR CALLBACK InputProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG: {
        ::SetWindowLongPtrW(dlg, DWLP_USER, lp);
        auto* request = reinterpret_cast<InputRequest*>(lp);
        ::SetDlgItemTextA(dlg, IDC_IN_PROMPT, request->prompt);
        ::SetWindowTextA(dlg, request->title);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
            reinterpret_cast<InputRequest*>(::GetWindowLongPtrW(dlg, DWLP_USER))->answer = TextOf(dlg, IDC_IN_TEXT);
            ::EndDialog(dlg, IDOK);
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            ::EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void ReportFileError(HWND dlg, const common::RunTimeError& e) {
    ::MessageBoxA(dlg, RunTimeErrorText(e.number, e.what()).c_str(), "Vantrel Manager",
                  MB_OK | MB_ICONERROR);
}

INT_PTR CALLBACK SetupProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    auto* w = reinterpret_cast<SetupWindow*>(::GetWindowLongPtrW(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        w = reinterpret_cast<SetupWindow*>(lp);
        ::SetWindowLongPtrW(dlg, DWLP_USER, lp);
        w->dlg = dlg;
        ::SetDlgItemTextA(dlg, IDC_SU_TEXT6, "514");
        ::SendDlgItemMessageA(dlg, IDC_SU_TEXT4, EM_SETPASSWORDCHAR, '*', 0);
        CreateMailControl(*w);
        try {
            FormLoad(*w);
        } catch (const common::RunTimeError& e) {
            // A recipient file that cannot be read: named, and the window does not open.
            ReportFileError(dlg, e);
            ::EndDialog(dlg, IDCANCEL);
        }
        return TRUE;
    case WM_SETCURSOR:
        if (w && w->busy) {
            ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
            ::SetWindowLongPtrW(dlg, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    case WM_COMMAND:
        if (!w || HIWORD(wp) != BN_CLICKED) return FALSE;
        switch (LOWORD(wp)) {
        case IDC_SU_OK:
            try {
                Ok(*w);
                ::EndDialog(dlg, IDOK);
            } catch (const common::RunTimeError& e) {
                // The recipient file could not be written: named, and the window stays
                // open with the recipients, so that nothing typed is lost.
                ReportFileError(dlg, e);
            }
            return TRUE;
        case IDC_SU_CANCEL:
        case IDCANCEL: ::EndDialog(dlg, IDCANCEL); return TRUE;
        case IDC_SU_ADD: {
            std::string answer;
            if (InputBox(g_instance, dlg, "Enter An Email Address To Send Alerts To:", "Enter Recipients", answer) &&
                !answer.empty())
                ::SendDlgItemMessageA(dlg, IDC_SU_LIST1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(answer.c_str()));
            return TRUE;
        }
        case IDC_SU_REMOVE: {
            HWND list = ::GetDlgItem(dlg, IDC_SU_LIST1);
            LRESULT selected = ::SendMessageA(list, LB_GETCURSEL, 0, 0);
            if (selected == LB_ERR)
                ::MessageBoxA(dlg, "Please Select An Item To Delete", "Select An Address To Delete",
                              MB_OK | MB_ICONERROR);
            else
                ::SendMessageA(list, LB_DELETESTRING, selected, 0);
            return TRUE;
        }
        case IDC_SU_TEST: TestMail(*w); return TRUE;
        case IDC_SU_SENDTEST: SendSyslogTest(dlg); return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        if (w) ReleaseMailControl(*w);
        return FALSE;
    }
    return FALSE;
}

}  // namespace

bool InputBox(HINSTANCE instance, HWND owner, const char* prompt, const char* title, std::string& answer) {
    InputRequest request{prompt, title, {}};
    if (::DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_INPUT), owner, InputProc, reinterpret_cast<LPARAM>(&request)) !=
        IDOK)
        return false;
    answer = request.answer;
    return true;
}

void ShowSetup(HINSTANCE instance, HWND owner) {
    g_instance = instance;
    SetupWindow window;
    ::DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SETUP), owner, SetupProc, reinterpret_cast<LPARAM>(&window));
}

}  // namespace vantrel::manager
