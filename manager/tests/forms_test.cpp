// MainForm and frmSMTPSetup driven through window messages, the way a user's clicks
// reach them, with the settings key, the list files and an installed "Quenloc" service
// in the prefix. The windows run on their own thread, as in the program.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <cstdlib>
#include <functional>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/cipher.h"
#include "manager_form.h"
#include "platform/winapi/handles.h"
#include "resource.h"

namespace {

const char kKey[] = "SOFTWARE\\Pelorin Software\\Quenloc\\1.0";

inline void CloseService(SC_HANDLE h) { ::CloseServiceHandle(h); }
using ScHandle = vantrel::UniqueHandle<vantrel::HandleTraits<SC_HANDLE, CloseService>>;

std::optional<std::string> Setting(const char* name) {
    vantrel::RegKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return std::nullopt;
    char data[1024];
    DWORD size = sizeof data;
    if (::RegQueryValueExA(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(data, size);
}

void PutSetting(const char* name, const std::string& value) {
    vantrel::RegKey key;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
}

bool KeyExists() {
    vantrel::RegKey key;
    return ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A dialog or message box by its title; `other_than` skips one window of the same title.
// Waits are long: they end as soon as the window is there, and a loaded machine may take
// many seconds to show one.
HWND WaitWindow(const char* title, HWND other_than = nullptr) {
    for (int i = 0; i < 1200; ++i) {
        HWND h = nullptr;
        while ((h = ::FindWindowExA(nullptr, h, "#32770", title)) != nullptr) {
            if (h != other_than && (::IsWindowVisible(h) || i > 20)) return h;
        }
        ::Sleep(25);
    }
    return nullptr;
}

std::string TextOf(HWND h) {
    char text[1024] = {};
    ::SendMessageA(h, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string StaticTextOf(HWND box) {
    // A message box's text is its static control's.
    HWND child = ::FindWindowExA(box, nullptr, "Static", nullptr);
    std::string all;
    while (child) {
        all += TextOf(child);
        child = ::FindWindowExA(box, child, "Static", nullptr);
    }
    return all;
}

// A mail control that refuses one member with its own description, and records the calls
// that reached it; registered for the window's thread in the real control's place.
// Written out on purpose, not taken from the IDL: the fixed contract callers compiled against.
const CLSID kMailControl = {0x1F38D9A9, 0x1AA8, 0x4201, {0x90, 0x08, 0xBE, 0x0D, 0x83, 0xD3, 0xFB, 0x16}};
constexpr DISPID kSMTPServerPut = 0x68030004, kSendMessageCall = 0x60030008;

class RefusingMail : public IDispatch, public IClassFactory {
public:
    DISPID refuse = DISPID_UNKNOWN;  // the member that fails; DISPID_UNKNOWN: none
    std::vector<DISPID> calls;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch) *ppv = static_cast<IDispatch*>(this);
        else if (riid == IID_IClassFactory) *ppv = static_cast<IClassFactory*>(this);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    // Lives on the test's stack for the whole run.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO* info, UINT*) override {
        calls.push_back(id);
        if (id != refuse) return S_OK;
        if (info) {
            *info = EXCEPINFO{};
            info->bstrSource = ::SysAllocString(L"VelmSendmail");
            info->bstrDescription = ::SysAllocString(L"Refused by the test");
            info->scode = E_INVALIDARG;
        }
        return DISP_E_EXCEPTION;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        return outer ? CLASS_E_NOAGGREGATION : QueryInterface(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

class Forms : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        manager_.reset(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        ASSERT_TRUE(manager_);
        ScHandle existing(::OpenServiceA(manager_.get(), "Quenloc", SERVICE_QUERY_STATUS | SERVICE_STOP));
        if (existing) {
            // An installed service (it starts with the prefix) must be stopped: the tests
            // begin from the stopped state.
            SERVICE_STATUS status{};
            ::ControlService(existing.get(), SERVICE_CONTROL_STOP, &status);
            for (int i = 0; i < 200 && ::QueryServiceStatus(existing.get(), &status) &&
                            status.dwCurrentState != SERVICE_STOPPED;
                 ++i)
                ::Sleep(100);
        } else {
            std::string command = std::string("\"") + TEST_SERVICE_PATH + "\" Quenloc";
            ScHandle created(::CreateServiceA(manager_.get(), "Quenloc", "Quenloc", SERVICE_ALL_ACCESS,
                                              SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                              command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
            ASSERT_TRUE(created) << ::GetLastError();
            created_ = true;
        }
    }
    // Deletes the test's service and waits until it is really gone: while a process of it is
    // still ending, the service manager only marks it for deletion and it can still be
    // opened and queried, so the manager would find a state where the test wants none.
    static bool DeleteQuenloc() {
        {
            ScHandle s(::OpenServiceA(manager_.get(), "Quenloc", SERVICE_ALL_ACCESS));
            if (!s || !::DeleteService(s.get())) return false;
        }
        for (int i = 0; i < 500; ++i) {
            ScHandle s(::OpenServiceA(manager_.get(), "Quenloc", SERVICE_QUERY_STATUS));
            if (!s && ::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) return true;
            ::Sleep(20);
        }
        return false;
    }
    static void TearDownTestSuite() {
        if (created_) {
            ScHandle s(::OpenServiceA(manager_.get(), "Quenloc", SERVICE_ALL_ACCESS));
            if (s) ::DeleteService(s.get());
        }
        manager_.reset();
    }
    void SetUp() override {
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey);
        ::CreateDirectoryA(SCRATCH_DIR, nullptr);
        folder_ = SCRATCH_DIR;
        ::DeleteFileA((folder_ + "\\exclusions.txt").c_str());
        ::DeleteFileA((folder_ + "\\To.txt").c_str());
        ::RemoveDirectoryA((folder_ + "\\To.txt").c_str());
    }
    void TearDown() override {
        if (ui_.joinable()) {
            if (form_) ::PostMessageA(form_, WM_CLOSE, 0, 0);
            ui_.join();
        }
    }

    // `on_ui_thread` runs in the windows' apartment before they open.
    void Open(std::function<void()> on_ui_thread = nullptr) {
        ui_ = std::thread([this, on_ui_thread] {
            ::CoInitialize(nullptr);
            if (on_ui_thread) on_ui_thread();
            exit_code_ = vantrel::manager::RunManager(::GetModuleHandleA(nullptr), folder_);
            ::CoUninitialize();
        });
        form_ = WaitWindow("Vantrel Manager");
        ASSERT_TRUE(form_);
        // The window is shown once its load steps have run.
        for (int i = 0; i < 1500 && !::IsWindowVisible(form_); ++i) ::Sleep(20);
        // A message box of the same title would mean the manager ended at load.
        ASSERT_EQ(StaticTextOf(form_).find("Run-time error"), std::string::npos) << StaticTextOf(form_);
    }
    void Close() {
        ::PostMessageA(form_, WM_CLOSE, 0, 0);
        ui_.join();
        form_ = nullptr;
    }
    HWND Item(int id) const { return ::GetDlgItem(form_, id); }
    bool Checked(int id) const { return ::SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool ButtonEnabled(int command) const {
        return ::SendMessageA(Item(IDC_TOOLBAR1), TB_ISBUTTONENABLED, command, 0) != 0;
    }
    // A toolbar click: posted, since it may open a modal window.
    void Toolbar(int command) { ::PostMessageA(form_, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0); }
    LRESULT ListCount(HWND dlg, int id) { return ::SendDlgItemMessageA(dlg, id, LB_GETCOUNT, 0, 0); }
    // The count once it has reached `expected`, or after 30 s: a list changes on the
    // window's own thread, after the action the test took has returned.
    LRESULT ListCountReaching(HWND dlg, int id, LRESULT expected) {
        LRESULT n = ListCount(dlg, id);
        for (int i = 0; i < 1500 && n != expected; ++i) {
            ::Sleep(20);
            n = ListCount(dlg, id);
        }
        return n;
    }
    std::string ListText(HWND dlg, int id, int index) {
        char text[512] = {};
        ::SendDlgItemMessageA(dlg, id, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text));
        return text;
    }

    static bool SetServiceRunning(bool run) {
        ScHandle s(::OpenServiceA(manager_.get(), "Quenloc", SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS));
        if (!s) return false;
        SERVICE_STATUS st{};
        if (run)
            ::StartServiceA(s.get(), 0, nullptr);
        else
            ::ControlService(s.get(), SERVICE_CONTROL_STOP, &st);
        for (int i = 0; i < 200; ++i) {
            if (::QueryServiceStatus(s.get(), &st) && st.dwCurrentState == (run ? SERVICE_RUNNING : SERVICE_STOPPED))
                return true;
            ::Sleep(25);
        }
        return false;
    }
    // Waits until the state label reads the text; the window pumps its messages while a
    // start or stop waits, so the label can be read meanwhile.
    bool WaitLabel(const std::string& text) {
        for (int i = 0; i < 600; ++i) {
            if (TextOf(Item(IDC_LABEL1)) == text) return true;
            ::Sleep(25);
        }
        return false;
    }
    // The service's process: a restart gives it a new one.
    static DWORD ServiceProcess() {
        ScHandle s(::OpenServiceA(manager_.get(), "Quenloc", SERVICE_QUERY_STATUS));
        SERVICE_STATUS_PROCESS st{};
        DWORD needed = 0;
        return s && ::QueryServiceStatusEx(s.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&st), sizeof st,
                                           &needed)
                   ? st.dwProcessId
                   : 0;
    }
    static DWORD ServiceState() {
        ScHandle s(::OpenServiceA(manager_.get(), "Quenloc", SERVICE_QUERY_STATUS));
        SERVICE_STATUS st{};
        return s && ::QueryServiceStatus(s.get(), &st) ? st.dwCurrentState : 0;
    }
    HWND OpenSetup() {
        Toolbar(IDC_SETUP);
        return WaitWindow("SMTP/Notification Setup");
    }
    void CloseDialog(HWND dlg, int command) {
        ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
        for (int i = 0; i < 1500 && ::IsWindow(dlg); ++i) ::Sleep(20);
    }

    static ScHandle manager_;
    static bool created_;
    std::string folder_;
    std::thread ui_;
    HWND form_ = nullptr;
    int exit_code_ = -1;
};

ScHandle Forms::manager_;
bool Forms::created_ = false;

TEST_F(Forms, EmptyKeyShowsTheDesignStatesAndWritesNothing) {
    Open();
    EXPECT_EQ(TextOf(form_), "Vantrel Manager");
    for (int id : {IDC_APPLICATIONCHECK, IDC_SECURITYCHECK, IDC_SYSTEMCHECK, IDC_CKINFORMATION, IDC_CKWARNING, IDC_CKERROR})
        EXPECT_TRUE(Checked(id)) << id;
    for (int id : {IDC_DSCHECK, IDC_DNSCHECK, IDC_FRSCHECK}) EXPECT_FALSE(Checked(id)) << id;
    EXPECT_TRUE(Checked(IDC_OPTEXCLUDE));
    EXPECT_FALSE(Checked(IDC_OPTINCLUDE));
    // The installed service is stopped: only start can be pressed.
    EXPECT_EQ(TextOf(Item(IDC_LABEL1)), "Stopped");
    EXPECT_TRUE(ButtonEnabled(IDC_START));
    EXPECT_FALSE(ButtonEnabled(IDC_STOP));
    EXPECT_TRUE(ButtonEnabled(IDC_SETUP));
    EXPECT_EQ(::SendMessageA(Item(IDC_TOOLBAR1), TB_BUTTONCOUNT, 0, 0), 6);
    Close();
    EXPECT_FALSE(KeyExists());
    // Closing while stopped asks nothing and writes the (empty) list file.
    EXPECT_EQ(FileText(folder_ + "\\exclusions.txt"), "");
    EXPECT_EQ(exit_code_, 0);
}

TEST_F(Forms, ReadValuesChangeTheirBoxesAndAbsentOnesKeepTheDesign) {
    PutSetting("MonitorAppLog", "1");
    PutSetting("MonitorDSLog", "1");
    PutSetting("MonitorErrorEvents", "0");
    PutSetting("MonitorWarningEvents", "yes");
    PutSetting("IncludeExclude", "I");
    Open();
    EXPECT_TRUE(Checked(IDC_APPLICATIONCHECK));
    EXPECT_TRUE(Checked(IDC_SECURITYCHECK));  // absent: design state
    EXPECT_TRUE(Checked(IDC_DSCHECK));
    EXPECT_FALSE(Checked(IDC_CKERROR));
    EXPECT_TRUE(Checked(IDC_CKWARNING));  // other content: design state
    EXPECT_TRUE(Checked(IDC_OPTINCLUDE));
    EXPECT_FALSE(Checked(IDC_OPTEXCLUDE));
    // Boxes that changed wrote their value back unchanged, in the stored form; nothing else was written.
    EXPECT_EQ(Setting("MonitorDSLog"), "1");
    EXPECT_EQ(Setting("MonitorSecurityLog"), std::nullopt);
    EXPECT_EQ(Setting("MonitorWarningEvents"), std::string("yes") + '\0');
    Close();
}

TEST_F(Forms, EverySwitchIsWrittenWhenClicked) {
    const std::pair<int, const char*> switches[] = {
        {IDC_APPLICATIONCHECK, "MonitorAppLog"},     {IDC_SECURITYCHECK, "MonitorSecurityLog"},
        {IDC_SYSTEMCHECK, "MonitorSystemLog"},       {IDC_DSCHECK, "MonitorDSLog"},
        {IDC_DNSCHECK, "MonitorDNSLog"},             {IDC_FRSCHECK, "MonitorFRSLog"},
        {IDC_CKINFORMATION, "MonitorInfoEvents"},    {IDC_CKWARNING, "MonitorWarningEvents"},
        {IDC_CKERROR, "MonitorErrorEvents"}};
    Open();
    for (const auto& [id, setting] : switches) {
        // Each click writes the box's new state, one byte, no terminating NUL; no other value moves.
        const bool was = Checked(id);
        ::SendMessageA(Item(id), BM_CLICK, 0, 0);
        EXPECT_EQ(Setting(setting), was ? "0" : "1") << setting;
        ::SendMessageA(Item(id), BM_CLICK, 0, 0);
        EXPECT_EQ(Setting(setting), was ? "1" : "0") << setting;
        for (const auto& [other_id, other] : switches) {
            if (other_id > id) {
                EXPECT_EQ(Setting(other), std::nullopt) << other << " after " << setting;
            }
        }
    }
    ::SendMessageA(Item(IDC_OPTINCLUDE), BM_CLICK, 0, 0);
    EXPECT_EQ(Setting("IncludeExclude"), "I");
    ::SendMessageA(Item(IDC_OPTEXCLUDE), BM_CLICK, 0, 0);
    EXPECT_EQ(Setting("IncludeExclude"), "E");
    Close();
}

TEST_F(Forms, DeleteWithoutSelectionOnlyShowsTheMessage) {
    std::ofstream(folder_ + "\\exclusions.txt", std::ios::binary) << "Srv\t7\r\n";
    Open();
    ASSERT_EQ(ListCountReaching(form_, IDC_LIST1, 1), 1);
    Toolbar(IDC_DELETE);
    HWND box = WaitWindow("Select An Item To Delete");
    ASSERT_TRUE(box);
    EXPECT_EQ(StaticTextOf(box), "Please Select An Item To Delete");
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    ::Sleep(100);
    EXPECT_EQ(ListCountReaching(form_, IDC_LIST1, 1), 1);
    Close();
    EXPECT_EQ(FileText(folder_ + "\\exclusions.txt"), "Srv\t7\r\n");
}

TEST_F(Forms, EntryWithoutIdIsSourceAndTabInSortedOrder) {
    std::ofstream(folder_ + "\\exclusions.txt", std::ios::binary) << "Zeta\t1\r\nAlpha\t2\r\n";
    Open();
    Toolbar(IDC_ADD);
    HWND dlg = WaitWindow("Add Exclusion");
    ASSERT_TRUE(dlg);
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dlg, IDC_EX_OK)));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dlg, IDC_EX_TEXT2)));
    ::SendMessageA(::GetDlgItem(dlg, IDC_EX_TEXT1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Mid"));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dlg, IDC_EX_OK)));
    ::SendMessageA(::GetDlgItem(dlg, IDC_EX_OK), BM_CLICK, 0, 0);
    ASSERT_EQ(ListCountReaching(form_, IDC_LIST1, 3), 3);
    EXPECT_EQ(ListText(form_, IDC_LIST1, 1), "Mid\t");
    Close();
    EXPECT_EQ(FileText(folder_ + "\\exclusions.txt"), "Alpha\t2\r\nMid\t\r\nZeta\t1\r\n");
}

TEST_F(Forms, SetupSavesOnOkShowsItBackAndCancelKeepsIt) {
    Open();
    Toolbar(IDC_SETUP);
    HWND dlg = WaitWindow("SMTP/Notification Setup");
    ASSERT_TRUE(dlg);
    // An empty key replaces the design port "514" with an empty text.
    EXPECT_EQ(TextOf(::GetDlgItem(dlg, IDC_SU_TEXT6)), "");
    ::SetDlgItemTextA(dlg, IDC_SU_TEXT1, "mail.example.org");
    ::SetDlgItemTextA(dlg, IDC_SU_TEXT2, "vantrel@example.org");
    ::SetDlgItemTextA(dlg, IDC_SU_TEXT4, "Secret-1");
    ::SetDlgItemTextA(dlg, IDC_SU_TEXT6, "1514");
    ::SendDlgItemMessageA(dlg, IDC_SU_PROTOCOL, CB_SETCURSEL, 1, 0);
    ::SendDlgItemMessageA(dlg, IDC_SU_LIST1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("b@example.org"));
    ::SendDlgItemMessageA(dlg, IDC_SU_LIST1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("%username%@example.org"));
    ::SendMessageA(::GetDlgItem(dlg, IDC_SU_OK), BM_CLICK, 0, 0);
    for (int i = 0; i < 100 && ::IsWindow(dlg); ++i) ::Sleep(20);
    EXPECT_FALSE(::IsWindow(dlg));

    EXPECT_EQ(Setting("SMTPServer"), "mail.example.org");
    EXPECT_EQ(Setting("FromEmail"), "vantrel@example.org");
    EXPECT_EQ(Setting("UserName"), "");  // empty text: a value of zero length
    const std::string cipher = vantrel::common::RC4ED("Secret-1", vantrel::common::PasswordKey);
    EXPECT_NE(cipher, "Secret-1");
    EXPECT_EQ(Setting("Password"), cipher);
    EXPECT_EQ(Setting("SendEmail"), "0");
    EXPECT_EQ(Setting("SyslogConsolePort"), "1514");
    EXPECT_EQ(Setting("SyslogProtocol"), "UDP");
    EXPECT_EQ(Setting("SendSyslogMessage"), "0");
    EXPECT_EQ(Setting("SecureConsole"), std::nullopt);
    EXPECT_EQ(FileText(folder_ + "\\To.txt"), "%username%@example.org\r\nb@example.org\r\n");

    // Reopened: the password is shown back; edits then cancelled change nothing.
    Toolbar(IDC_SETUP);
    dlg = WaitWindow("SMTP/Notification Setup");
    ASSERT_TRUE(dlg);
    EXPECT_EQ(TextOf(::GetDlgItem(dlg, IDC_SU_TEXT4)), "Secret-1");
    EXPECT_EQ(TextOf(::GetDlgItem(dlg, IDC_SU_TEXT3)), "");
    EXPECT_EQ(TextOf(::GetDlgItem(dlg, IDC_SU_PROTOCOL)), "UDP");
    EXPECT_EQ(ListCountReaching(dlg, IDC_SU_LIST1, 2), 2);
    ::SetDlgItemTextA(dlg, IDC_SU_TEXT1, "other.example.org");
    ::SendDlgItemMessageA(dlg, IDC_SU_LIST1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("c@example.org"));
    ::SendMessageA(::GetDlgItem(dlg, IDC_SU_CANCEL), BM_CLICK, 0, 0);
    for (int i = 0; i < 100 && ::IsWindow(dlg); ++i) ::Sleep(20);
    EXPECT_EQ(Setting("SMTPServer"), "mail.example.org");
    EXPECT_EQ(FileText(folder_ + "\\To.txt"), "%username%@example.org\r\nb@example.org\r\n");
    Close();
}

TEST_F(Forms, TestMailWithoutRecipientsIsCancelled) {
    Open();
    Toolbar(IDC_SETUP);
    HWND dlg = WaitWindow("SMTP/Notification Setup");
    ASSERT_TRUE(dlg);
    ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_SU_TEST, BN_CLICKED), 0);
    HWND box = WaitWindow("Test Cancelled");
    ASSERT_TRUE(box);
    EXPECT_EQ(StaticTextOf(box), "No Recipients Entered.  Please Enter A Recipient And Try Again.");
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    ::Sleep(100);
    ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_SU_CANCEL, BN_CLICKED), 0);
    for (int i = 0; i < 100 && ::IsWindow(dlg); ++i) ::Sleep(20);
    Close();
}

TEST_F(Forms, ATestMailThatCannotGoReportsTheControlsErrorAtOnce) {
    // Templates only give no recipient; a real one meets a server that is down, which the
    // test mail reports at once instead of trying it again for minutes.
    for (const char* to : {"%username%@example.org\r\n", "ops@example.org\r\n"}) {
        std::ofstream(folder_ + "\\To.txt", std::ios::binary) << to;
        Open();
        HWND dlg = OpenSetup();
        ASSERT_TRUE(dlg);
        ::SetDlgItemTextA(dlg, IDC_SU_TEXT1, "127.0.0.1:9");
        ::SetDlgItemTextA(dlg, IDC_SU_TEXT2, "vantrel@example.org");
        ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_SU_TEST, BN_CLICKED), 0);
        HWND box = nullptr;
        for (int i = 0; i < 400 && !box; ++i) {
            box = ::FindWindowA("#32770", "Vantrel");
            ::Sleep(25);
        }
        ASSERT_TRUE(box) << to;
        const std::string text = StaticTextOf(box);
        EXPECT_EQ(text.rfind(to[0] == '%' ? "SMTP Error: No recipient address is set"
                                          : "SMTP Error: Cannot connect to the SMTP server 127.0.0.1 port 9",
                             0),
                  0u)
            << text;
        ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        ::Sleep(100);
        ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_SU_CANCEL, BN_CLICKED), 0);
        for (int i = 0; i < 100 && ::IsWindow(dlg); ++i) ::Sleep(20);
        Close();
    }
}

// Whether the setup window shows the hourglass (it answers WM_SETCURSOR itself then).
bool Hourglass(HWND dlg) {
    return ::SendMessageA(dlg, WM_SETCURSOR, reinterpret_cast<WPARAM>(dlg), MAKELPARAM(HTERROR, 0)) != 0;
}

TEST_F(Forms, ARefusedTestMailIsReportedAndTheCursorComesBack) {
    std::ofstream(folder_ + "\\To.txt", std::ios::binary) << "a@example.org\r\n";
    RefusingMail mail;
    DWORD cookie = 0;
    Open([&] {
        ASSERT_EQ(::CoRegisterClassObject(kMailControl, static_cast<IClassFactory*>(&mail), CLSCTX_INPROC_SERVER,
                                          REGCLS_MULTIPLEUSE, &cookie),
                  S_OK);
    });
    HWND dlg = OpenSetup();
    ASSERT_TRUE(dlg);
    // A send under way shows the hourglass until the control answers.
    ::SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_SU_TEST, BN_CLICKED), 0);
    ASSERT_FALSE(mail.calls.empty());
    EXPECT_EQ(mail.calls.back(), kSendMessageCall);
    EXPECT_TRUE(Hourglass(dlg));
    // A refused property: named at once, nothing sent, the cursor back.
    for (DISPID refused : {kSMTPServerPut, kSendMessageCall}) {
        mail.refuse = refused;
        mail.calls.clear();
        ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_SU_TEST, BN_CLICKED), 0);
        HWND box = WaitWindow("Vantrel");
        ASSERT_TRUE(box) << refused;
        EXPECT_EQ(StaticTextOf(box), "SMTP Error: Refused by the test") << refused;
        EXPECT_EQ(mail.calls.back(), refused);
        CloseDialog(box, IDOK);
        EXPECT_FALSE(Hourglass(dlg)) << refused;
    }
    CloseDialog(dlg, IDC_SU_CANCEL);
    Close();  // the window thread's CoUninitialize revokes the registration
}

TEST_F(Forms, ClosingWhileRunningAsksToRestartAndStillWritesTheList) {
    ASSERT_TRUE(SetServiceRunning(true));
    std::ofstream(folder_ + "\\exclusions.txt", std::ios::binary) << "Kept\r\n";
    Open();
    EXPECT_EQ(TextOf(Item(IDC_LABEL1)), "Running");
    EXPECT_FALSE(ButtonEnabled(IDC_START));
    EXPECT_TRUE(ButtonEnabled(IDC_STOP));
    ::PostMessageA(form_, WM_CLOSE, 0, 0);
    HWND box = WaitWindow("Vantrel");
    ASSERT_TRUE(box);
    EXPECT_EQ(StaticTextOf(box), "Do You Want To Restart The Vantrel Service?");
    ::PostMessageA(box, WM_COMMAND, IDNO, 0);
    ui_.join();
    form_ = nullptr;
    EXPECT_EQ(FileText(folder_ + "\\exclusions.txt"), "Kept\r\n");
    EXPECT_TRUE(SetServiceRunning(false));
}

TEST_F(Forms, IncludeModeAddsAnInclusion) {
    PutSetting("IncludeExclude", "I");
    Open();
    Toolbar(IDC_ADD);
    HWND dlg = WaitWindow("Add Inclusion");
    ASSERT_TRUE(dlg);
    CloseDialog(dlg, IDC_EX_CANCEL);
    EXPECT_EQ(ListCountReaching(form_, IDC_LIST1, 0), 0);
    Close();
}

TEST_F(Forms, AStateQueryThatFailsEndsTheManagerWithTheError) {
    if (!created_) GTEST_SKIP() << "a Quenloc service not made by this test is installed";
    ASSERT_TRUE(DeleteQuenloc());
    PutSetting("MonitorDSLog", "1");
    ui_ = std::thread([this] {
        ::CoInitialize(nullptr);
        exit_code_ = vantrel::manager::RunManager(::GetModuleHandleA(nullptr), folder_);
        ::CoUninitialize();
    });
    HWND box = WaitWindow("Vantrel Manager");
    ASSERT_TRUE(box);
    // The message box, not the form: the form is never shown.
    const std::string text = StaticTextOf(box);
    // A status is shown as run-time errors are: decimal, then hexadecimal.
    EXPECT_EQ(text.rfind("Run-time error '-2147023836 (80070424)': ", 0), 0u) << text;
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    ui_.join();
    EXPECT_EQ(exit_code_, 1);
    // Nothing was read or written after the failure.
    EXPECT_EQ(Setting("MonitorDSLog"), std::string("1") + '\0');
    EXPECT_EQ(FileText(folder_ + "\\exclusions.txt"), "");
    EXPECT_EQ(::GetFileAttributesA((folder_ + "\\exclusions.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    created_ = false;
    SetUpTestSuite();
}

TEST_F(Forms, SyslogTestStartsTheSenderWithTheQuotedLine) {
    const std::string sender = folder_ + "\\syslogsend.exe", record = folder_ + "\\cmdline.txt";
    ::DeleteFileA(sender.c_str());
    ::DeleteFileA(record.c_str());
    Open();
    HWND dlg = OpenSetup();
    ASSERT_TRUE(dlg);
    // Without the sender: the start failure with its number.
    ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_SU_SENDTEST, BN_CLICKED), 0);
    HWND box = WaitWindow("Vantrel Manager", form_);
    ASSERT_TRUE(box);
    EXPECT_EQ(StaticTextOf(box).rfind("Error: 53 - ", 0), 0u) << StaticTextOf(box);
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && ::IsWindow(box); ++i) ::Sleep(20);

    ASSERT_TRUE(::CopyFileA(SENDER_RECORD_PATH, sender.c_str(), FALSE));
    ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_SU_SENDTEST, BN_CLICKED), 0);
    for (int i = 0; i < 400 && ::GetFileAttributesA(record.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) ::Sleep(25);
    EXPECT_EQ(FileText(record), "\"" + sender + "\" \"<14>Test Message From Vantrel\"");
    CloseDialog(dlg, IDC_SU_CANCEL);
    Close();
    ::DeleteFileA(sender.c_str());
}

TEST_F(Forms, RecipientsAreAddedThroughTheInputBoxAndDeletedBySelection) {
    Open();
    HWND dlg = OpenSetup();
    ASSERT_TRUE(dlg);
    ::SendDlgItemMessageA(dlg, IDC_SU_LIST1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("m@example.org"));
    ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_SU_ADD, BN_CLICKED), 0);
    HWND input = WaitWindow("Enter Recipients");
    ASSERT_TRUE(input);
    EXPECT_EQ(TextOf(::GetDlgItem(input, IDC_IN_PROMPT)), "Enter An Email Address To Send Alerts To:");
    ::SetDlgItemTextA(input, IDC_IN_TEXT, "a@example.org");
    CloseDialog(input, IDOK);
    ASSERT_EQ(ListCountReaching(dlg, IDC_SU_LIST1, 2), 2);
    EXPECT_EQ(ListText(dlg, IDC_SU_LIST1, 0), "a@example.org");
    // An empty answer adds nothing.
    ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_SU_ADD, BN_CLICKED), 0);
    input = WaitWindow("Enter Recipients");
    ASSERT_TRUE(input);
    CloseDialog(input, IDOK);
    EXPECT_EQ(ListCountReaching(dlg, IDC_SU_LIST1, 2), 2);

    ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_SU_REMOVE, BN_CLICKED), 0);
    HWND box = WaitWindow("Select An Address To Delete");
    ASSERT_TRUE(box);
    EXPECT_EQ(StaticTextOf(box), "Please Select An Item To Delete");
    CloseDialog(box, IDOK);
    EXPECT_EQ(ListCountReaching(dlg, IDC_SU_LIST1, 2), 2);
    ::SendDlgItemMessageA(dlg, IDC_SU_LIST1, LB_SETCURSEL, 1, 0);
    ::SendMessageA(::GetDlgItem(dlg, IDC_SU_REMOVE), BM_CLICK, 0, 0);
    ASSERT_EQ(ListCountReaching(dlg, IDC_SU_LIST1, 1), 1);
    EXPECT_EQ(ListText(dlg, IDC_SU_LIST1, 0), "a@example.org");
    CloseDialog(dlg, IDC_SU_OK);
    EXPECT_EQ(FileText(folder_ + "\\To.txt"), "a@example.org\r\n");
    Close();
}

// Runs beside the loopback SMTP servers of the mail control's tests (with_smtpd.sh).
TEST_F(Forms, TestMailGoesToTheListedAddressesWithoutTemplates) {
    const char* dir = std::getenv("VANTREL_SMTP_DIR");
    const char* port = std::getenv("VANTREL_SMTP_PLAIN_PORT");
    if (!dir || !port) GTEST_SKIP() << "run through outside/mail/tests/with_smtpd.sh";
    std::ofstream(folder_ + "\\To.txt", std::ios::binary)
        << "b@example.org\r\n%USERNAME%@example.org\r\na@example.org\r\n";
    Open();
    HWND dlg = OpenSetup();
    ASSERT_TRUE(dlg);
    ::SetDlgItemTextA(dlg, IDC_SU_TEXT1, (std::string("127.0.0.1:") + port).c_str());
    ::SetDlgItemTextA(dlg, IDC_SU_TEXT2, "manager@example.org");
    ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_SU_TEST, BN_CLICKED), 0);
    HWND box = nullptr;
    for (int i = 0; i < 800 && !box; ++i) {
        box = ::FindWindowA("#32770", "Vantrel");
        ::Sleep(25);
    }
    ASSERT_TRUE(box);
    EXPECT_EQ(StaticTextOf(box), "Email Sent Successfully");
    CloseDialog(box, IDOK);
    // The last item read ends selected.
    EXPECT_EQ(::SendDlgItemMessageA(dlg, IDC_SU_LIST1, LB_GETCURSEL, 0, 0), 2);
    CloseDialog(dlg, IDC_SU_CANCEL);
    Close();
    const std::string saved = std::string("Z:") + dir + "\\plain-1";
    const std::string envelope = FileText(saved + ".env");
    EXPECT_NE(envelope.find("from:manager@example.org\n"), std::string::npos) << envelope;
    EXPECT_NE(envelope.find("to:a@example.org,b@example.org\n"), std::string::npos) << envelope;
    const std::string message = FileText(saved + ".eml");
    EXPECT_NE(message.find("Subject: Vantrel Email Test"), std::string::npos) << message;
    EXPECT_NE(message.find("Success!"), std::string::npos) << message;
}

TEST_F(Forms, ToolbarButtonsCarryTheirToolTipsAndAboutOpens) {
    Open();
    HWND toolbar = Item(IDC_TOOLBAR1);
    HWND tips = reinterpret_cast<HWND>(::SendMessageA(toolbar, TB_GETTOOLTIPS, 0, 0));
    ASSERT_TRUE(tips);
    const std::pair<int, const wchar_t*> expected[] = {
        {IDC_START, L"Start Nalt Service"}, {IDC_STOP, L"Stop Nalt Service"},
        {IDC_ADD, L"Add Inclusion/Exclusion"}, {IDC_DELETE, L"Delete Inclusion/Exclusion"},
        {IDC_SETUP, L"SMTP Setup"}, {IDC_ABOUTBTN, L"About Nalt"}};
    for (const auto& [id, tip] : expected) {
        wchar_t text[128] = {};
        TTTOOLINFOW info{};
        info.cbSize = sizeof info;
        info.hwnd = toolbar;
        info.uId = static_cast<UINT_PTR>(id);
        info.lpszText = text;
        ::SendMessageW(tips, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&info));
        EXPECT_STREQ(text, tip) << id;
    }
    // Each button has a picture of its own.
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(::SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0));
    ASSERT_TRUE(images);
    ASSERT_EQ(::ImageList_GetImageCount(images), 6);
    std::vector<std::vector<COLORREF>> pictures;
    HDC screen = ::GetDC(nullptr);
    for (int i = 0; i < 6; ++i) {
        HDC dc = ::CreateCompatibleDC(screen);
        HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 16, 16);
        HGDIOBJ old = ::SelectObject(dc, bitmap);
        RECT all{0, 0, 16, 16};
        ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        ::ImageList_Draw(images, i, dc, 0, 0, ILD_NORMAL);
        std::vector<COLORREF> pixels;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) pixels.push_back(::GetPixel(dc, x, y));
        pictures.push_back(pixels);
        ::SelectObject(dc, old);
        ::DeleteObject(bitmap);
        ::DeleteDC(dc);
    }
    ::ReleaseDC(nullptr, screen);
    for (int i = 0; i < 6; ++i)
        for (int j = i + 1; j < 6; ++j) EXPECT_NE(pictures[i], pictures[j]) << "pictures " << i << " and " << j;
    Toolbar(IDC_ABOUTBTN);
    HWND about = WaitWindow("About Vantrel Manager");
    ASSERT_TRUE(about);
    const std::string text = StaticTextOf(about);
    EXPECT_NE(text.find("Version 1.0"), std::string::npos) << text;
    EXPECT_NE(text.find("Pelorin Software"), std::string::npos) << text;
    CloseDialog(about, IDOK);
    Close();
}

TEST_F(Forms, AnUnusableRecipientFileIsNamedAndLosesNothing) {
    // A folder where the recipient file should be: it can be neither read nor written.
    ASSERT_TRUE(::CreateDirectoryA((folder_ + "\\To.txt").c_str(), nullptr));
    Open();
    Toolbar(IDC_SETUP);
    HWND box = WaitWindow("Vantrel Manager", form_);
    ASSERT_TRUE(box);
    EXPECT_EQ(StaticTextOf(box).rfind("Run-time error '", 0), 0u) << StaticTextOf(box);
    CloseDialog(box, IDOK);
    for (int i = 0; i < 100 && ::FindWindowA("#32770", "SMTP/Notification Setup"); ++i) ::Sleep(20);
    EXPECT_FALSE(::FindWindowA("#32770", "SMTP/Notification Setup"));
    // Made unwritable while the window is open: OK names the error and keeps the window.
    ::RemoveDirectoryA((folder_ + "\\To.txt").c_str());
    HWND dlg = OpenSetup();
    ASSERT_TRUE(dlg);
    ::SendDlgItemMessageA(dlg, IDC_SU_LIST1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("kept@example.org"));
    ::DeleteFileA((folder_ + "\\To.txt").c_str());  // the load made it, empty
    ASSERT_TRUE(::CreateDirectoryA((folder_ + "\\To.txt").c_str(), nullptr));
    ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_SU_OK, BN_CLICKED), 0);
    box = WaitWindow("Vantrel Manager", form_);
    ASSERT_TRUE(box);
    EXPECT_EQ(StaticTextOf(box).rfind("Run-time error '", 0), 0u) << StaticTextOf(box);
    CloseDialog(box, IDOK);
    EXPECT_TRUE(::IsWindow(dlg));
    EXPECT_EQ(ListCountReaching(dlg, IDC_SU_LIST1, 1), 1);
    CloseDialog(dlg, IDC_SU_CANCEL);
    // The manager goes on, and its list is still written at close.
    ::SendMessageA(Item(IDC_LIST1), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Src\t1"));
    Close();
    EXPECT_EQ(FileText(folder_ + "\\exclusions.txt"), "Src\t1\r\n");
    ::RemoveDirectoryA((folder_ + "\\To.txt").c_str());
}

TEST_F(Forms, StartAndStopGoThroughTheControlAndRefreshTheState) {
    Open();
    ASSERT_EQ(TextOf(Item(IDC_LABEL1)), "Stopped");
    Toolbar(IDC_START);
    EXPECT_TRUE(WaitLabel("Start Pending"));
    EXPECT_TRUE(WaitLabel("Running"));
    EXPECT_EQ(ServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_FALSE(ButtonEnabled(IDC_START));
    EXPECT_TRUE(ButtonEnabled(IDC_STOP));
    Toolbar(IDC_STOP);
    EXPECT_TRUE(WaitLabel("Stop Pending"));
    EXPECT_TRUE(WaitLabel("Stopped"));
    EXPECT_EQ(ServiceState(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_TRUE(ButtonEnabled(IDC_START));
    EXPECT_FALSE(ButtonEnabled(IDC_STOP));
    // No message box came up on the way.
    EXPECT_FALSE(::FindWindowExA(nullptr, form_, "#32770", "Vantrel Manager"));
    Close();
    EXPECT_EQ(exit_code_, 0);
}

TEST_F(Forms, StoppingAStoppedServiceShowsTheControlsErrorThenTheState) {
    Open();
    ASSERT_EQ(TextOf(Item(IDC_LABEL1)), "Stopped");
    // The stop button is disabled now; a stale window could still send its click.
    Toolbar(IDC_STOP);
    HWND box = WaitWindow("Vantrel Manager", form_);
    ASSERT_TRUE(box);
    const std::string text = StaticTextOf(box);
    EXPECT_NE(text.find("1062"), std::string::npos) << text;  // ERROR_SERVICE_NOT_ACTIVE
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find_last_not_of("\r\n "), text.size() - 1) << "a trailing line break in: " << text;
    EXPECT_EQ(TextOf(Item(IDC_LABEL1)), "Stop Pending");
    CloseDialog(box, IDOK);
    EXPECT_TRUE(WaitLabel("Stopped"));
    // The control was closed again: a start right after works.
    Toolbar(IDC_START);
    EXPECT_TRUE(WaitLabel("Running"));
    Toolbar(IDC_STOP);
    EXPECT_TRUE(WaitLabel("Stopped"));
    Close();
}

TEST_F(Forms, RestartAtCloseStopsAndStartsTheServiceAndWritesTheList) {
    ASSERT_TRUE(SetServiceRunning(true));
    const DWORD before = ServiceProcess();
    ASSERT_NE(before, 0u);
    Open();
    ::SendMessageA(Item(IDC_LIST1), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Added\t7"));
    ::PostMessageA(form_, WM_CLOSE, 0, 0);
    HWND box = WaitWindow("Vantrel");
    ASSERT_TRUE(box);
    ::PostMessageA(box, WM_COMMAND, IDYES, 0);
    ui_.join();
    form_ = nullptr;
    EXPECT_EQ(exit_code_, 0);
    EXPECT_EQ(ServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
    const DWORD after = ServiceProcess();
    EXPECT_NE(after, 0u);
    EXPECT_NE(after, before);  // stopped and started, not merely left running
    EXPECT_EQ(FileText(folder_ + "\\exclusions.txt"), "Added\t7\r\n");
    EXPECT_TRUE(SetServiceRunning(false));
}

TEST_F(Forms, ACloseDuringTheRestartIsIgnoredAndTheRestartStillHappens) {
    ASSERT_TRUE(SetServiceRunning(true));
    const DWORD before = ServiceProcess();
    Open();
    ::PostMessageA(form_, WM_CLOSE, 0, 0);
    HWND box = WaitWindow("Vantrel");
    ASSERT_TRUE(box);
    // A close while the question is on screen belongs to the close under way: it asks
    // nothing again and ends nothing early. Sent, so that it has been handled on return.
    DWORD_PTR ignored = 0;
    EXPECT_TRUE(::SendMessageTimeoutA(form_, WM_CLOSE, 0, 0, SMTO_NORMAL, 10000, &ignored));
    for (HWND again = nullptr; (again = ::FindWindowExA(nullptr, again, "#32770", "Vantrel")) != nullptr;) {
        if (again == box) continue;
        ADD_FAILURE() << "asked again: " << StaticTextOf(again);
        ::PostMessageA(again, WM_COMMAND, IDNO, 0);
    }
    ASSERT_TRUE(::IsWindow(form_));
    ASSERT_TRUE(::IsWindow(box));
    ::PostMessageA(box, WM_COMMAND, IDYES, 0);
    ASSERT_TRUE(WaitLabel("Stop Pending"));
    // The impatient second close, while the stop waits.
    ::PostMessageA(form_, WM_CLOSE, 0, 0);
    ::Sleep(300);
    EXPECT_TRUE(::IsWindow(form_));
    EXPECT_TRUE(WaitLabel("Start Pending"));
    ui_.join();
    form_ = nullptr;
    EXPECT_EQ(exit_code_, 0);
    EXPECT_EQ(ServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_NE(ServiceProcess(), before);
    EXPECT_TRUE(SetServiceRunning(false));
}

TEST_F(Forms, ACloseDuringAStartWaitsForTheStartToEnd) {
    Open();
    Toolbar(IDC_START);
    ASSERT_TRUE(WaitLabel("Start Pending"));
    ::PostMessageA(form_, WM_CLOSE, 0, 0);
    ::Sleep(300);
    EXPECT_TRUE(::IsWindow(form_));
    // Once the start has ended the close goes on, with the state it left.
    HWND box = WaitWindow("Vantrel");
    ASSERT_TRUE(box);
    EXPECT_EQ(StaticTextOf(box), "Do You Want To Restart The Vantrel Service?");
    EXPECT_EQ(TextOf(Item(IDC_LABEL1)), "Running");
    ::PostMessageA(box, WM_COMMAND, IDNO, 0);
    ui_.join();
    form_ = nullptr;
    EXPECT_EQ(exit_code_, 0);
    EXPECT_EQ(ServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_TRUE(SetServiceRunning(false));
}

TEST_F(Forms, AFailedRefreshAfterAStopIsReportedOnceAndTheWindowStays) {
    if (!created_) GTEST_SKIP() << "a Quenloc service not made by this test is installed";
    Open();
    ::SendMessageA(Item(IDC_LIST1), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Kept"));
    Toolbar(IDC_STOP);
    HWND box = WaitWindow("Vantrel Manager", form_);
    ASSERT_TRUE(box);
    // The service goes away while the control's error is shown: the refresh then fails.
    {
        ScHandle s(::OpenServiceA(manager_.get(), "Quenloc", SERVICE_ALL_ACCESS));
        ASSERT_TRUE(s && ::DeleteService(s.get()));
    }
    CloseDialog(box, IDOK);
    box = WaitWindow("Vantrel Manager", form_);
    ASSERT_TRUE(box);
    // Shown as a failed start or stop is: the description alone.
    const std::string text = StaticTextOf(box);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find("Run-time error"), std::string::npos) << text;
    EXPECT_EQ(text.find("80070424"), std::string::npos) << text;
    CloseDialog(box, IDOK);
    ::Sleep(300);
    EXPECT_FALSE(::FindWindowExA(nullptr, form_, "#32770", "Vantrel Manager"));  // no second report
    ASSERT_TRUE(::IsWindow(form_));
    EXPECT_EQ(TextOf(Item(IDC_LABEL1)), "");
    Close();
    EXPECT_EQ(exit_code_, 0);
    EXPECT_EQ(FileText(folder_ + "\\exclusions.txt"), "Kept\r\n");
    created_ = false;
    SetUpTestSuite();
}

// The installed program asks for elevation (its writes to HKLM and the programs' folder
// must not be virtualised) and for the current common controls.
TEST(Program, ManifestAsksForElevationAndTheCurrentCommonControls) {
    HMODULE program = ::LoadLibraryExA(TALLISK_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_TRUE(program) << ::GetLastError();
    HRSRC found = ::FindResourceA(program, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_TRUE(found);
    const char* data = static_cast<const char*>(::LockResource(::LoadResource(program, found)));
    const std::string manifest(data, ::SizeofResource(program, found));
    ::FreeLibrary(program);
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos)
        << manifest;
}

}  // namespace
