// The property pages in a test property frame: each page is activated in a window of the
// test, driven by the window messages its controls would send, and checked through the
// control it edits. The control's site answers the ambient user mode with design mode.
#include <gtest/gtest.h>
#include <windows.h>

#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

#include "automation/service_control.h"
#include "pages/control_by_name.h"
#include "pages/page_ids.h"
#include "pages/property_pages.h"
#include "platform/winapi/ambient_site.h"

using Microsoft::WRL::ComPtr;
using dovrin::pages::LateBound;

namespace {

class FrameSite : public IPropertyPageSite {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IPropertyPageSite) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP OnStatusChange(DWORD flags) override {
        if (flags & PROPPAGESTATUS_DIRTY) ++dirty;
        return S_OK;
    }
    STDMETHODIMP GetLocaleID(LCID* l) override { *l = 0x409; return S_OK; }
    STDMETHODIMP GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }
    int dirty = 0;
};

// One page in a frame window of the test, over one designed control.
class PageFrame : public ::testing::Test {
protected:
    void SetUp() override {
        ::CoInitialize(nullptr);
        errors_.clear();
        dovrin::pages::SetErrorReporter([this](HWND, const std::string& text, const std::string&) {
            errors_ += text + "|";
        });
        ASSERT_EQ(dovrin::automation::CreateServiceControl(IID_IDispatch, reinterpret_cast<void**>(control_.GetAddressOf())), S_OK);
        ComPtr<IOleObject> ole;
        ASSERT_EQ(control_.As(&ole), S_OK);
        ole->SetClientSite(design_.Get());
        frame_ = ::CreateWindowA("STATIC", "VtTestFrame", WS_OVERLAPPEDWINDOW, 0, 0, 500, 500, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_NE(frame_, nullptr);
    }
    void TearDown() override {
        if (page_) {
            page_->Deactivate();
            page_->SetObjects(0, nullptr);
            page_->SetPageSite(nullptr);
            page_.Reset();
        }
        ComPtr<IOleObject> ole;
        if (control_ && SUCCEEDED(control_.As(&ole))) ole->SetClientSite(nullptr);
        control_.Reset();
        ::DestroyWindow(frame_);
        dovrin::pages::SetErrorReporter(nullptr);
        ::CoUninitialize();
    }
    void Open(HRESULT (*create)(REFIID, void**)) {
        ASSERT_EQ(create(IID_IPropertyPage, reinterpret_cast<void**>(page_.GetAddressOf())), S_OK);
        page_->SetPageSite(&site_);
        IUnknown* objects[] = {control_.Get()};
        ASSERT_EQ(page_->SetObjects(1, objects), S_OK);
        RECT r{0, 0, 400, 400};
        ASSERT_EQ(page_->Activate(frame_, &r, FALSE), S_OK);
        dialog_ = ::GetWindow(frame_, GW_CHILD);
        ASSERT_NE(dialog_, nullptr);
    }
    HWND Item(int id) { return ::GetDlgItem(dialog_, id); }
    bool Checked(int id) { return ::IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
    // A user's click: the box toggles, then the dialog hears of it.
    void Click(int id) {
        ::CheckDlgButton(dialog_, id, Checked(id) ? BST_UNCHECKED : BST_CHECKED);
        ::SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(Item(id)));
    }
    void Focus(int id, int code) {
        ::SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(id, code), LPARAM(Item(id)));
    }
    std::string Text(int id) {
        char buffer[2048] = {};
        ::GetDlgItemTextA(dialog_, id, buffer, sizeof buffer);
        return buffer;
    }
    LateBound Control() { return LateBound(control_.Get()); }

    ComPtr<IDispatch> control_;
    ComPtr<IPropertyPage> page_;
    ComPtr<vantrel::com::AmbientSite> design_ = vantrel::com::AmbientSite::Create(false);  // design time
    FrameSite site_;
    HWND frame_ = nullptr;
    HWND dialog_ = nullptr;
    std::string errors_;
};

// Runs an action after each message that a window of this thread has handled, while it
// lives: the test's stand-in for what a container or its controls do on their own.
class AfterEachMessage {
public:
    explicit AfterEachMessage(std::function<void(const CWPRETSTRUCT&)> action) {
        Action() = std::move(action);
        hook_ = ::SetWindowsHookExW(WH_CALLWNDPROCRET, Hook, nullptr, ::GetCurrentThreadId());
        EXPECT_NE(hook_, nullptr);
    }
    ~AfterEachMessage() {
        ::UnhookWindowsHookEx(hook_);
        Action() = nullptr;
    }

private:
    static std::function<void(const CWPRETSTRUCT&)>& Action() {
        static std::function<void(const CWPRETSTRUCT&)> action;
        return action;
    }
    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp) {
        if (code == HC_ACTION && Action()) Action()(*reinterpret_cast<const CWPRETSTRUCT*>(lp));
        return ::CallNextHookEx(nullptr, code, wp, lp);
    }
    HHOOK hook_ = nullptr;
};

const int kTenBoxes[] = {IDC_CHBS_CHANGE_CONFIG, IDC_CHBS_ENUMERATE_DEPENDENTS, IDC_CHBS_PAUSE_CONTINUE,
                         IDC_CHBS_QUERY_CONFIG, IDC_CHBS_QUERY_STATUS, IDC_CHBS_START, IDC_CHBS_STOP,
                         IDC_CHBS_USER_DEFINED_CONTROL, IDC_CHBS_DELETE, IDC_CHBS_INTERROGATE};

TEST_F(PageFrame, ServiceAccessAllAccessDisablesTheTenBoxes) {
    Control().PutText(L"ServiceName", "VtTestPaged");
    Open(dovrin::pages::CreateServiceAccessPage);
    EXPECT_TRUE(Checked(IDC_CHBS_ALL_ACCESS));
    for (int id : kTenBoxes) {
        EXPECT_FALSE(Checked(id)) << id;
        EXPECT_FALSE(::IsWindowEnabled(Item(id))) << id;
    }
    // The description is the form's own text: it names the property, not the chosen service.
    EXPECT_NE(Text(IDC_MEMO1).find("access to the service \"ServiceName\". The value must be set before"),
              std::string::npos)
        << Text(IDC_MEMO1);
    EXPECT_EQ(Text(IDC_MEMO1).find("VtTestPaged"), std::string::npos);

    Click(IDC_CHBS_ALL_ACCESS);
    for (int id : kTenBoxes) EXPECT_TRUE(::IsWindowEnabled(Item(id))) << id;
    Click(IDC_CHBS_START);
    Click(IDC_CHBS_STOP);
    EXPECT_EQ(page_->IsPageDirty(), S_OK);
    EXPECT_GT(site_.dirty, 0);
    Focus(IDC_CHBS_DELETE, BN_SETFOCUS);
    EXPECT_EQ(Text(IDC_MEMO2), "This flag enables deleting the service");
    Focus(IDC_CHBS_DELETE, BN_KILLFOCUS);
    EXPECT_EQ(Text(IDC_MEMO2), "");
    ASSERT_EQ(page_->Apply(), S_OK);
    EXPECT_EQ(Control().Long(L"ServiceAccess"), 0x30);
    EXPECT_EQ(page_->IsPageDirty(), S_FALSE);

    Click(IDC_CHBS_ALL_ACCESS);
    page_->Apply();
    EXPECT_EQ(Control().Long(L"ServiceAccess"), 983551);
    EXPECT_EQ(errors_, "");

    PROPPAGEINFO info{};
    ASSERT_EQ(page_->GetPageInfo(&info), S_OK);
    EXPECT_STREQ(info.pszTitle, L"ServiceAccess");
    EXPECT_STREQ(info.pszHelpFile, L"Brolm.hlp");
    EXPECT_EQ(info.dwHelpContext, 8115u);
    EXPECT_GT(info.size.cx, 0);
    ::CoTaskMemFree(info.pszTitle);
    ::CoTaskMemFree(info.pszHelpFile);
    ::CoTaskMemFree(info.pszDocString);
}

// The all-access box acts when its state changes, as a click on it would; a reload that
// leaves it as it was leaves the ten boxes alone.
TEST_F(PageFrame, ServiceAccessReloadRunsTheAllAccessBoxOnlyWhenItChanges) {
    Open(dovrin::pages::CreateServiceAccessPage);
    HWND names = Item(IDC_CHBSERVICENAME);
    ASSERT_GT(::SendMessageA(names, CB_GETCOUNT, 0, 0), 1);
    // Choosing a service reads the page again.
    auto choose = [&](int index) {
        ::SendMessageA(names, CB_SETCURSEL, WPARAM(index), 0);
        ::SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(IDC_CHBSERVICENAME, CBN_SELCHANGE), LPARAM(names));
    };
    ASSERT_TRUE(Checked(IDC_CHBS_ALL_ACCESS));  // a new control asks for all access

    Control().PutLong(L"ServiceAccess", 0x30);
    choose(0);
    EXPECT_TRUE(Checked(IDC_CHBS_ALL_ACCESS));  // keeps its state
    EXPECT_TRUE(Checked(IDC_CHBS_START));
    EXPECT_TRUE(Checked(IDC_CHBS_STOP));
    EXPECT_FALSE(Checked(IDC_CHBS_DELETE));
    page_->Apply();  // nothing touched, nothing written
    EXPECT_EQ(Control().Long(L"ServiceAccess"), 0x30);
    // All access read while the box is already checked: the box is left alone, so the ten
    // boxes keep what they show.
    Control().PutLong(L"ServiceAccess", 983551);
    choose(1);
    EXPECT_TRUE(Checked(IDC_CHBS_ALL_ACCESS));
    EXPECT_TRUE(Checked(IDC_CHBS_START));
    EXPECT_TRUE(Checked(IDC_CHBS_STOP));
    EXPECT_EQ(page_->IsPageDirty(), S_FALSE);

    Click(IDC_CHBS_ALL_ACCESS);  // cleared by the user: the ten boxes are free again
    for (int id : kTenBoxes) EXPECT_TRUE(::IsWindowEnabled(Item(id))) << id;
    Control().PutLong(L"ServiceAccess", 983551);
    choose(1);
    EXPECT_TRUE(Checked(IDC_CHBS_ALL_ACCESS));  // changed: its handler ran
    for (int id : kTenBoxes) {
        EXPECT_FALSE(Checked(id)) << id;
        EXPECT_FALSE(::IsWindowEnabled(Item(id))) << id;
    }
    EXPECT_EQ(errors_, "");
}

TEST_F(PageFrame, ManagerAccessWritesOnlyTouchedBoxesAndOrdersActiveManager) {
    Control().PutLong(L"ManagerAccess", 5);
    Open(dovrin::pages::CreateManagerAccessPage);
    EXPECT_TRUE(Checked(IDC_CHBM_CONNECT));
    EXPECT_TRUE(Checked(IDC_CHBM_ENUMERATE_SERVICE));
    EXPECT_FALSE(Checked(IDC_CHBM_CREATE_SERVICE));
    EXPECT_EQ(Text(IDC_MEMO1).rfind("The ManagerAccess property specifies the desired access to the service control manager. ", 0), 0u);

    // No box touched: Apply writes nothing, even when the control changed meanwhile.
    Control().PutLong(L"ManagerAccess", 1);
    page_->Apply();
    EXPECT_EQ(Control().Long(L"ManagerAccess"), 1);

    // Opening writes the pending access first (it would be refused once open).
    Click(IDC_CHBM_CREATE_SERVICE);
    Click(IDC_CHBACTIVEMANAGER);
    EXPECT_TRUE(Control().Bool(L"ActiveManager"));
    EXPECT_EQ(Control().Long(L"ManagerAccess"), 1 + 2 + 4);
    EXPECT_TRUE(Checked(IDC_CHBACTIVEMANAGER));  // read again

    // Closing comes first, then the pending access is written.
    Click(IDC_CHBM_CREATE_SERVICE);
    Click(IDC_CHBACTIVEMANAGER);
    EXPECT_FALSE(Control().Bool(L"ActiveManager"));
    EXPECT_EQ(Control().Long(L"ManagerAccess"), 1 + 4);
    EXPECT_EQ(errors_, "");

    Focus(IDC_CHBM_LOCK, BN_SETFOCUS);
    EXPECT_EQ(Text(IDC_MEMO2), "The flag enables to acquire a lock on the database");
    Focus(IDC_CHBM_MODIFY_BOOT_CONFIG, BN_SETFOCUS);
    EXPECT_EQ(Text(IDC_MEMO2), "");

    // A refused write is shown and the page read again.
    Control().PutBool(L"ActiveManager", true);
    Click(IDC_CHBM_LOCK);
    page_->Apply();
    EXPECT_EQ(errors_, "Can not change parameter when CONTROL SERVICE MANAGER is active|");
    EXPECT_FALSE(Checked(IDC_CHBM_LOCK));
    EXPECT_TRUE(Checked(IDC_CHBACTIVEMANAGER));
}

TEST_F(PageFrame, LogonAsWritesBothTexts) {
    auto logon = Control().Object(L"LogonAs");
    LateBound(logon.Get()).PutText(L"UserName", "VtOld");
    Open(dovrin::pages::CreateLogonAsPage);
    EXPECT_EQ(Text(IDC_EDTUSERNAME), "VtOld");
    EXPECT_EQ(Text(IDC_MEMO1).rfind("In order to have full access to the managed computer you must have administrative privileges.", 0), 0u);
    ::SetDlgItemTextA(dialog_, IDC_EDTUSERNAME, "VtAdmin");
    ::SetDlgItemTextA(dialog_, IDC_EDTPASSWORD, "VtSecret");
    page_->Apply();
    EXPECT_EQ(LateBound(logon.Get()).Text(L"UserName"), "VtAdmin");
    EXPECT_EQ(LateBound(logon.Get()).Text(L"Password"), "VtSecret");
    EXPECT_EQ(::GetWindowLongA(Item(IDC_EDTPASSWORD), GWL_STYLE) & ES_PASSWORD, ES_PASSWORD);
    EXPECT_EQ(::SendMessageW(Item(IDC_EDTPASSWORD), EM_GETPASSWORDCHAR, 0, 0), L'*');
}

// A container that uses the current common controls (as the manager does) gets their edit
// control, whose own password character is another; the page still shows "*".
TEST_F(PageFrame, LogonAsPasswordShowsStarsInAContainerWithCurrentCommonControls) {
    char folder[MAX_PATH], path[MAX_PATH];
    ASSERT_NE(::GetTempPathA(MAX_PATH, folder), 0u);
    ASSERT_NE(::GetTempFileNameA(folder, "vtm", 0, path), 0u);
    const char manifest[] =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
        "<dependency><dependentAssembly><assemblyIdentity type=\"win32\" "
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"*\" "
        "publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/></dependentAssembly></dependency>\r\n"
        "</assembly>\r\n";
    HANDLE file = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(file, manifest, sizeof manifest - 1, &written, nullptr);
    ::CloseHandle(file);
    ACTCTXA request{};
    request.cbSize = sizeof request;
    request.lpSource = path;
    HANDLE context = ::CreateActCtxA(&request);
    ::DeleteFileA(path);
    ASSERT_NE(context, INVALID_HANDLE_VALUE);
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(::ActivateActCtx(context, &cookie));
    {
        // On Windows their edit control takes a dot as it is created (Wine's takes "*").
        AfterEachMessage dots([](const CWPRETSTRUCT& m) {
            wchar_t name[16] = {};
            if (m.message == WM_CREATE && (::GetWindowLongW(m.hwnd, GWL_STYLE) & ES_PASSWORD) &&
                ::GetClassNameW(m.hwnd, name, 16) && ::lstrcmpiW(name, L"Edit") == 0)
                ::SendMessageW(m.hwnd, EM_SETPASSWORDCHAR, 0x25CF, 0);
        });
        Open(dovrin::pages::CreateLogonAsPage);
    }
    ::DeactivateActCtx(0, cookie);
    ::ReleaseActCtx(context);
    EXPECT_EQ(::SendMessageW(Item(IDC_EDTPASSWORD), EM_GETPASSWORDCHAR, 0, 0), L'*');
}

TEST_F(PageFrame, DependenciesEditTheControlsListOfAnOpenService) {
    Open(dovrin::pages::CreateDependenciesPage);
    HWND names = Item(IDC_CHBSERVICENAME);
    ASSERT_GT(::SendMessageA(names, CB_GETCOUNT, 0, 0), 0);
    EXPECT_FALSE(::IsWindowEnabled(Item(IDC_CHBACTIVESERVICE)));  // no service chosen
    EXPECT_FALSE(::IsWindowEnabled(Item(IDC_MEMDEPENDENCIES)));
    ::SendMessageA(names, CB_SETCURSEL, 0, 0);
    ::SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(IDC_CHBSERVICENAME, CBN_SELCHANGE), LPARAM(names));
    std::string chosen = Control().Text(L"ServiceName");
    EXPECT_FALSE(chosen.empty());
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_CHBACTIVESERVICE)));

    Click(IDC_CHBACTIVESERVICE);
    ASSERT_TRUE(Control().Bool(L"ActiveService")) << errors_;
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_MEMDEPENDENCIES)));
    // Typing: the text changes and the edit box says so.
    ::SetDlgItemTextA(dialog_, IDC_MEMDEPENDENCIES, "VtDepA\r\n+VtGroup");
    Focus(IDC_MEMDEPENDENCIES, EN_CHANGE);
    page_->Apply();
    auto list = Control().Object(L"Dependencies");
    EXPECT_EQ(LateBound(list.Get()).Long(L"Count"), 2);
    EXPECT_EQ(LateBound(list.Get()).Text(L"Text"), "VtDepA\r\n+VtGroup\r\n");
    EXPECT_EQ(errors_, "");

    // Activated again, the page shows the list with nothing selected in it, even where the
    // frame's dialog manager moves the focus into the memo as the page fills it, which
    // selects the memo's whole text.
    page_->Deactivate();
    {
        AfterEachMessage focus([](const CWPRETSTRUCT& m) {
            if (m.message == WM_SETTEXT && ::GetDlgCtrlID(m.hwnd) == IDC_MEMDEPENDENCIES &&
                ::GetWindowTextLengthW(m.hwnd) > 0)
                ::SendMessageW(::GetParent(m.hwnd), WM_NEXTDLGCTL, WPARAM(m.hwnd), TRUE);
        });
        RECT r{0, 0, 400, 400};
        ASSERT_EQ(page_->Activate(frame_, &r, FALSE), S_OK);
    }
    dialog_ = ::GetWindow(frame_, GW_CHILD);
    EXPECT_EQ(Text(IDC_MEMDEPENDENCIES), "VtDepA\r\n+VtGroup\r\n");
    DWORD start = 1, end = 1;
    ::SendMessageA(Item(IDC_MEMDEPENDENCIES), EM_GETSEL, WPARAM(&start), LPARAM(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 0u);
}

}  // namespace

// A page whose loading fails (run mode, where the server list fails; design mode with a
// database that does not exist) shows the error with its caption and stays usable.
TEST_F(PageFrame, AFailedLoadIsShownAndThePageStays) {
    struct Kind {
        HRESULT (*create)(REFIID, void**);
        const char* caption;
        bool lists_services;  // opens the database while it loads
    };
    const Kind kinds[] = {{dovrin::pages::CreateLogonAsPage, "LogonAs", false},
                          {dovrin::pages::CreateManagerAccessPage, "ManagerAccess", false},
                          {dovrin::pages::CreateServiceAccessPage, "ServiceAccess", true},
                          {dovrin::pages::CreateDependenciesPage, "Dependencies", true}};
    std::vector<std::string> captions;
    dovrin::pages::SetErrorReporter([&](HWND, const std::string& text, const std::string& caption) {
        errors_ += text + "|";
        captions.push_back(caption);
    });
    auto run = vantrel::com::AmbientSite::Create(true);
    for (bool run_mode : {true, false}) {
        for (const Kind& kind : kinds) {
            SCOPED_TRACE(std::string(kind.caption) + (run_mode ? " in run mode" : " in design mode"));
            ComPtr<IOleObject> ole;
            ASSERT_EQ(control_.As(&ole), S_OK);
            ole->SetClientSite(run_mode ? run.Get() : design_.Get());
            if (!run_mode) Control().PutText(L"DatabaseName", "VtNoSuchDatabase");
            errors_.clear();
            captions.clear();
            Open(kind.create);
            EXPECT_EQ(errors_.empty(), !run_mode && !kind.lists_services) << errors_;
            for (const auto& c : captions) EXPECT_EQ(c, kind.caption);
            // Still a working page: it answers and goes away in order.
            EXPECT_TRUE(::IsWindow(dialog_));
            EXPECT_EQ(page_->IsPageDirty(), S_FALSE);
            EXPECT_EQ(page_->Deactivate(), S_OK);
            page_->SetObjects(0, nullptr);
            page_.Reset();
        }
    }
}
