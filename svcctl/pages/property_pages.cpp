#include "pages/property_pages.h"

#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <cstring>
#include <exception>
#include <set>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "pages/control_by_name.h"
#include "pages/page_ids.h"
#include "platform/winapi/com_server.h"

using Microsoft::WRL::ComPtr;

namespace dovrin::pages {

namespace {

ErrorReporter& Reporter() {
    static ErrorReporter reporter = [](HWND page, const std::string& text, const std::string& caption) {
        ::MessageBoxA(page, text.c_str(), caption.c_str(), MB_ICONERROR | MB_OK);
    };
    return reporter;
}

std::string Join(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* l : lines) text += l;
    return text;
}

std::string WindowText(HWND w) {
    int n = ::GetWindowTextLengthA(w);
    std::string s(std::size_t(n) + 1, '\0');
    ::GetWindowTextA(w, s.data(), n + 1);
    s.resize(std::size_t(n));
    return s;
}

struct Box {
    int id;
    long bit;
    const char* hint;  // null: the hint area stays empty
};

const Box kManagerBoxes[] = {
    {IDC_CHBM_CONNECT, 0x1, "The flag enables connecting to the service control manager."},
    {IDC_CHBM_ENUMERATE_SERVICE, 0x4, "The flag enables enumerating the services that are in the database."},
    {IDC_CHBM_CREATE_SERVICE, 0x2,
     "The flag enables calling of the Createservice function to create a service object and add it to the database."},
    {IDC_CHBM_LOCK, 0x8, "The flag enables to acquire a lock on the database"},
    {IDC_CHBM_QUERY_LOCK_STATUS, 0x10, "The flag enables to retrieve the lock status information for the database"},
    {IDC_CHBM_MODIFY_BOOT_CONFIG, 0x20, nullptr},
};

constexpr long kAllAccess = 983551;

// The ten boxes besides S_ALL_ACCESS.
const Box kServiceBoxes[] = {
    {IDC_CHBS_CHANGE_CONFIG, 0x2, "This flag enables changing the service configuration."},
    {IDC_CHBS_ENUMERATE_DEPENDENTS, 0x8, "This flag enables enumerating all the services dependent on the service"},
    {IDC_CHBS_PAUSE_CONTINUE, 0x40,
     "This flag enables calling of the ControlService method to pause or continue the service."},
    {IDC_CHBS_QUERY_CONFIG, 0x1, "This flag enables querying the service configuration"},
    {IDC_CHBS_QUERY_STATUS, 0x4,
     "This flag enables calling of the QueryServiceStatus method to ask the service control manager about the status of the service"},
    {IDC_CHBS_START, 0x10, "This flag enables calling of the Startservice method to start the service"},
    {IDC_CHBS_STOP, 0x20, "This flag enables calling of the ControlService method to stop the service"},
    {IDC_CHBS_USER_DEFINED_CONTROL, 0x100,
     "This flag enables calling of the ControlService function to specify a user-defined control code"},
    {IDC_CHBS_DELETE, 0x10000, "This flag enables deleting the service"},
    {IDC_CHBS_INTERROGATE, 0x80,
     "This flag enables calling of the ControlService method to ask the service to report its status immediately."},
};
const char kAllAccessHint[] =
    "This flag includes STANDARD_RIGHTS_REQUIRED in addition to all of the access types listed below";
const char kActiveServiceHint[] =
    "When activating service, make sure that you specified S_QUERY_CONFIG flag. Immediately after activation "
    "the control queries the service's status.";

// The common form: the machine-name row, changed marks, refresh and apply.
class Page : public vantrel::com::Object<IPropertyPage> {
public:
    Page(int dialog, const char* caption, DWORD help_context)
        : dialog_id_(dialog), caption_(caption), help_context_(help_context) {}
    ~Page() override {
        if (dialog_) ::DestroyWindow(dialog_);
    }
    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override {
        site_ = site;
        return S_OK;
    }
    STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL) override {
        if (dialog_) return E_UNEXPECTED;
        return vantrel::com::Barrier([&] {
            dialog_ = ::CreateDialogParamA(vantrel::com::ModuleHandle(), MAKEINTRESOURCEA(dialog_id_), parent,
                                           DialogProc, reinterpret_cast<LPARAM>(this));
            if (!dialog_) return HRESULT_FROM_WIN32(::GetLastError());
            if (rect)
                ::MoveWindow(dialog_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, FALSE);
            FormCreated();
            // Form activated: a page that cannot be read shows why and stays usable.
            Refresh();
            ClearSelections();
            return S_OK;
        });
    }
    STDMETHODIMP Deactivate() override {
        if (dialog_) ::DestroyWindow(dialog_);
        dialog_ = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override {
        if (!info) return E_POINTER;
        return vantrel::com::Barrier([&] { return PageInfo(info); });
    }
    HRESULT PageInfo(PROPPAGEINFO* info) {
        std::memset(info, 0, sizeof *info);
        info->cb = sizeof *info;
        HWND probe = ::CreateDialogParamA(vantrel::com::ModuleHandle(), MAKEINTRESOURCEA(dialog_id_),
                                          ::GetDesktopWindow(), EmptyProc, 0);
        if (probe) {
            RECT r;
            ::GetWindowRect(probe, &r);
            info->size.cx = r.right - r.left;
            info->size.cy = r.bottom - r.top;
            ::DestroyWindow(probe);
        }
        info->pszTitle = TaskText(caption_);
        info->pszHelpFile = TaskText("Brolm.hlp");
        info->dwHelpContext = help_context_;
        if (!info->pszTitle || !info->pszHelpFile) {
            ::CoTaskMemFree(info->pszTitle);
            ::CoTaskMemFree(info->pszHelpFile);
            info->pszTitle = info->pszHelpFile = nullptr;
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }
    STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            object_.Reset();
            if (count > 0 && objects && objects[0])
                objects[0]->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object_.GetAddressOf()));
            return S_OK;
        });
    }
    STDMETHODIMP Show(UINT cmd) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!dialog_) return E_UNEXPECTED;
            ::ShowWindow(dialog_, int(cmd));
            return S_OK;
        });
    }
    STDMETHODIMP Move(LPCRECT rect) override {
        if (!dialog_ || !rect) return E_UNEXPECTED;
        ::MoveWindow(dialog_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
        return S_OK;
    }
    STDMETHODIMP IsPageDirty() override { return dirty_ ? S_OK : S_FALSE; }
    STDMETHODIMP Apply() override {
        return vantrel::com::Barrier([&] { ApplyPage(); });
    }
    STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }

protected:
    virtual void LoadFromObject() { LoadMachineRow(); }
    virtual void StoreToObject() {}
    virtual void OnCommand(int id, int code) {}
    virtual void MachineNameChanged() { MachineRowChanged(); }
    virtual void FormCreated() {}

    HWND Item(int id) const { return ::GetDlgItem(dialog_, id); }
    bool Checked(int id) const { return ::IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
    void SetChecked(int id, bool on) { ::CheckDlgButton(dialog_, id, on ? BST_CHECKED : BST_UNCHECKED); }
    bool IsChanged(int id) const { return changed_.count(id) != 0; }
    void ClearMark(int id) { changed_.erase(id); }
    LateBound Control() { return LateBound(object_.Get()); }

    void RefreshPage() {
        refreshing_ = true;
        try {
            LoadFromObject();
        } catch (...) {
            refreshing_ = false;
            throw;
        }
        refreshing_ = false;
    }

    // Writes the marked edits; a failure is shown and the page read again.
    void ApplyPage() {
        try {
            StoreToObject();
        } catch (const std::exception& e) {
            Reporter()(dialog_, e.what(), caption_);
            Refresh();
        }
        ClearSelections();
        ClearMarks();
    }

    void MarkChanged(int id) {
        if (refreshing_) return;
        changed_.insert(id);
        dirty_ = true;
        if (site_) site_->OnStatusChange(PROPPAGESTATUS_DIRTY);
    }
    void ClearMarks() {
        changed_.clear();
        dirty_ = false;
    }

    // A refresh whose failure is shown, for the handlers.
    void Refresh() {
        try {
            RefreshPage();
        } catch (const std::exception& e) {
            Reporter()(dialog_, e.what(), caption_);
        }
        if (dialog_) ::InvalidateRect(dialog_, nullptr, TRUE);
    }
    void Report(const std::exception& e) { Reporter()(dialog_, e.what(), caption_); }

    void LoadMachineRow() {
        HWND combo = Item(IDC_CMBMACHINENAME);
        ::SendMessageA(combo, CB_RESETCONTENT, 0, 0);
        VARIANT none = TextArg("");
        vantrel::Variant list = Control().Call(L"GetServers", {none});
        if (list->vt == VT_DISPATCH && list->pdispVal) {
            StringList names = ReadList(list->pdispVal);
            for (const auto& n : names.Items()) ::SendMessageA(combo, CB_ADDSTRING, 0, LPARAM(n.c_str()));
        }
        std::string machine = Control().Text(L"MachineName");
        LRESULT at = ::SendMessageA(combo, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(machine.c_str()));
        ::SendMessageA(combo, CB_SETCURSEL, at == CB_ERR ? WPARAM(-1) : WPARAM(at), 0);
    }
    // The machine-name row changed; the access pages close the manager first.
    void MachineRowChanged(bool close_manager = false) {
        if (close_manager) {
            try {
                Control().PutBool(L"ActiveManager", false);
            } catch (const std::exception& e) {
                Report(e);
            }
        }
        ApplyPage();
        try {
            Control().PutText(L"MachineName", WindowText(Item(IDC_CMBMACHINENAME)));
        } catch (const std::exception& e) {
            Report(e);
        }
        Refresh();
        ClearMarks();
    }

    // The service-name row of the ServiceAccess and Dependencies pages.
    void LoadServiceRow() {
        SetChecked(IDC_CHBACTIVESERVICE, Control().Bool(L"ActiveService"));
        HWND combo = Item(IDC_CHBSERVICENAME);
        ::SendMessageA(combo, CB_RESETCONTENT, 0, 0);
        vantrel::Variant list = Control().Call(L"GetPropertyServiceNames");
        if (list->vt == VT_DISPATCH && list->pdispVal) {
            StringList names = ReadList(list->pdispVal);
            for (const auto& n : names.Items()) ::SendMessageA(combo, CB_ADDSTRING, 0, LPARAM(n.c_str()));
        }
        std::string name = Control().Text(L"ServiceName");
        LRESULT at = ::SendMessageA(combo, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(name.c_str()));
        ::SendMessageA(combo, CB_SETCURSEL, at == CB_ERR ? WPARAM(-1) : WPARAM(at), 0);
        ::EnableWindow(Item(IDC_CHBACTIVESERVICE), at != CB_ERR);
    }
    void ServiceNameChanged() {
        try {
            Control().PutBool(L"ActiveService", false);
            Control().PutText(L"ServiceName", WindowText(Item(IDC_CHBSERVICENAME)));
        } catch (const std::exception& e) {
            Report(e);
        }
        Refresh();
    }
    // ActiveManager or ActiveService clicked: opening writes pending edits first, closing
    // writes them after; the page is read again in every case.
    void ActiveClicked(int box, const wchar_t* property) {
        bool on = Checked(box);
        try {
            if (on) {
                ApplyPage();
                Control().PutBool(property, true);
            } else {
                Control().PutBool(property, false);
                ApplyPage();
            }
        } catch (const std::exception& e) {
            Report(e);
        }
        Refresh();
        ClearMark(box);
    }

    void SetMemo(int id, const std::string& text) { ::SetWindowTextA(Item(id), text.c_str()); }

    HWND dialog_ = nullptr;

private:
    static INT_PTR CALLBACK EmptyProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
    static INT_PTR CALLBACK DialogProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_INITDIALOG) {
            ::SetWindowLongPtrA(w, DWLP_USER, lp);
            return FALSE;
        }
        auto* self = reinterpret_cast<Page*>(::GetWindowLongPtrA(w, DWLP_USER));
        if (!self || msg != WM_COMMAND || !self->dialog_) return FALSE;
        int id = LOWORD(wp), code = HIWORD(wp);
        vantrel::com::Barrier([&] {
            try {
                if (id == IDC_CMBMACHINENAME && code == CBN_SELCHANGE && !self->refreshing_)
                    self->MachineNameChanged();
                else
                    self->OnCommand(id, code);
            } catch (const std::exception& e) {
                self->Report(e);
            }
        });
        return TRUE;
    }
    static LPOLESTR TaskText(const std::string& s) {
        std::wstring w = vantrel::WideFromAnsi(s);
        auto p = static_cast<LPOLESTR>(::CoTaskMemAlloc((w.size() + 1) * sizeof(wchar_t)));
        if (p) std::memcpy(p, w.c_str(), (w.size() + 1) * sizeof(wchar_t));  // zero-terminated
        return p;
    }
    void ClearSelections() {
        for (int id : {IDC_EDTUSERNAME, IDC_EDTPASSWORD, IDC_MEMDEPENDENCIES})
            if (HWND e = Item(id)) ::SendMessageA(e, EM_SETSEL, 0, 0);
    }

    vantrel::com::ObjectCount count_;
    int dialog_id_;
    std::string caption_;
    DWORD help_context_;
    ComPtr<IPropertyPageSite> site_;
    ComPtr<IDispatch> object_;
    std::set<int> changed_;
    bool refreshing_ = false;
    bool dirty_ = false;
};

class LogonAsPage : public Page {
public:
    LogonAsPage() : Page(IDD_PAGE_LOGONAS, "LogonAs", 1102) {}

protected:
    void FormCreated() override {
        SetMemo(IDC_MEMO1, LogonAsDescription());
        // Set, not left to the edit control: current common controls would show a dot.
        ::SendMessageW(Item(IDC_EDTPASSWORD), EM_SETPASSWORDCHAR, L'*', 0);
    }
    void LoadFromObject() override {
        LoadMachineRow();
        auto logon = Control().Object(L"LogonAs");
        LateBound l(logon.Get());
        ::SetWindowTextA(Item(IDC_EDTUSERNAME), l.Text(L"UserName").c_str());
        ::SetWindowTextA(Item(IDC_EDTPASSWORD), l.Text(L"Password").c_str());
        ::SendMessageA(Item(IDC_EDTUSERNAME), EM_SETSEL, 0, 0);
        ::SendMessageA(Item(IDC_EDTPASSWORD), EM_SETSEL, 0, 0);
    }
    void StoreToObject() override {
        auto logon = Control().Object(L"LogonAs");
        LateBound l(logon.Get());
        l.PutText(L"UserName", WindowText(Item(IDC_EDTUSERNAME)));
        l.PutText(L"Password", WindowText(Item(IDC_EDTPASSWORD)));
    }
    void OnCommand(int id, int code) override {
        if ((id == IDC_EDTUSERNAME || id == IDC_EDTPASSWORD) && code == EN_CHANGE) MarkChanged(id);
    }
};

class ManagerAccessPage : public Page {
public:
    ManagerAccessPage() : Page(IDD_PAGE_MANAGERACCESS, "ManagerAccess", 8112) {}

protected:
    void FormCreated() override { SetMemo(IDC_MEMO1, ManagerAccessDescription()); }
    void LoadFromObject() override {
        LoadMachineRow();
        long access = Control().Long(L"ManagerAccess");
        for (const auto& b : kManagerBoxes) SetChecked(b.id, (access & b.bit) != 0);
        SetChecked(IDC_CHBACTIVEMANAGER, Control().Bool(L"ActiveManager"));
    }
    void StoreToObject() override {
        bool touched = false;
        for (const auto& b : kManagerBoxes) touched = touched || IsChanged(b.id);
        if (!touched) return;
        long sum = 0;
        for (const auto& b : kManagerBoxes)
            if (Checked(b.id)) sum += b.bit;
        Control().PutLong(L"ManagerAccess", sum);
    }
    void OnCommand(int id, int code) override {
        if (id == IDC_CHBACTIVEMANAGER && code == BN_CLICKED) return ActiveClicked(id, L"ActiveManager");
        for (const auto& b : kManagerBoxes) {
            if (b.id != id) continue;
            if (code == BN_CLICKED) MarkChanged(id);
            else if (code == BN_SETFOCUS) SetMemo(IDC_MEMO2, b.hint ? b.hint : "");
            else if (code == BN_KILLFOCUS) SetMemo(IDC_MEMO2, "");
        }
    }
    void MachineNameChanged() override {
        MachineRowChanged(true);
        ClearMark(IDC_CHBACTIVEMANAGER);
        Refresh();
    }
};

class ServiceAccessPage : public Page {
public:
    ServiceAccessPage() : Page(IDD_PAGE_SERVICEACCESS, "ServiceAccess", 8115) {}

protected:
    void FormCreated() override { SetMemo(IDC_MEMO1, ServiceAccessDescription()); }
    void LoadFromObject() override {
        LoadMachineRow();
        LoadServiceRow();
        long access = Control().Long(L"ServiceAccess");
        if ((access & kAllAccess) == kAllAccess) {
            // Checking the box acts as a click on it would; a box already checked is left alone.
            if (!Checked(IDC_CHBS_ALL_ACCESS)) {
                SetChecked(IDC_CHBS_ALL_ACCESS, true);
                AllAccessClicked();
            }
        } else {
            for (const auto& b : kServiceBoxes) SetChecked(b.id, (access & b.bit) != 0);
        }
    }
    void StoreToObject() override {
        bool touched = IsChanged(IDC_CHBS_ALL_ACCESS);
        for (const auto& b : kServiceBoxes) touched = touched || IsChanged(b.id);
        if (!touched) return;
        long sum = 0;
        if (Checked(IDC_CHBS_ALL_ACCESS)) {
            sum = kAllAccess;
        } else {
            for (const auto& b : kServiceBoxes)
                if (Checked(b.id)) sum += b.bit;
        }
        Control().PutLong(L"ServiceAccess", sum);
    }
    void OnCommand(int id, int code) override {
        if (id == IDC_CHBACTIVESERVICE && code == BN_CLICKED) return ActiveClicked(id, L"ActiveService");
        if (id == IDC_CHBSERVICENAME && code == CBN_SELCHANGE) return ServiceNameChanged();
        const char* hint = nullptr;
        bool box = false;
        if (id == IDC_CHBS_ALL_ACCESS) {
            hint = kAllAccessHint;
            if (code == BN_CLICKED) AllAccessClicked();
        } else if (id == IDC_CHBACTIVESERVICE) {
            hint = kActiveServiceHint;
        }
        for (const auto& b : kServiceBoxes)
            if (b.id == id) {
                box = true;
                hint = b.hint;
            }
        if (box && code == BN_CLICKED) MarkChanged(id);
        if (hint) {
            if (code == BN_SETFOCUS) SetMemo(IDC_MEMO2, hint);
            else if (code == BN_KILLFOCUS) SetMemo(IDC_MEMO2, "");
        }
    }
    void MachineNameChanged() override {
        MachineRowChanged(true);
        Refresh();
    }

private:
    // All access: the ten boxes are cleared and disabled; otherwise enabled.
    void AllAccessClicked() {
        bool all = Checked(IDC_CHBS_ALL_ACCESS);
        for (const auto& b : kServiceBoxes) {
            if (all) SetChecked(b.id, false);
            ::EnableWindow(Item(b.id), !all);
        }
        MarkChanged(IDC_CHBS_ALL_ACCESS);
    }
};

class DependenciesPage : public Page {
public:
    DependenciesPage() : Page(IDD_PAGE_DEPENDENCIES, "Dependencies", 8106) {}

protected:
    void FormCreated() override { SetMemo(IDC_MEMO1, DependenciesDescription()); }
    void LoadFromObject() override {
        LoadMachineRow();
        LoadServiceRow();
        bool active = Checked(IDC_CHBACTIVESERVICE);
        HWND memo = Item(IDC_MEMDEPENDENCIES);
        ::EnableWindow(memo, active);
        std::string text;
        if (active) {
            auto list = Control().Object(L"Dependencies");
            StringList items = ReadList(list.Get());
            text = items.Text();
        }
        ::SetWindowTextA(memo, text.c_str());
    }
    void StoreToObject() override {
        if (!IsChanged(IDC_MEMDEPENDENCIES)) return;
        auto list = Control().Object(L"Dependencies");
        LateBound(list.Get()).PutText(L"Text", WindowText(Item(IDC_MEMDEPENDENCIES)));
        ClearMark(IDC_MEMDEPENDENCIES);
    }
    void OnCommand(int id, int code) override {
        if (id == IDC_MEMDEPENDENCIES && code == EN_CHANGE) MarkChanged(id);
        else if (id == IDC_CHBACTIVESERVICE && code == BN_CLICKED) ActiveClicked(id, L"ActiveService");
        else if (id == IDC_CHBSERVICENAME && code == CBN_SELCHANGE) ServiceNameChanged();
    }
};

template <class T>
HRESULT Create(REFIID riid, void** ppv) {
    return vantrel::com::CreateObject<T>(riid, ppv);
}

}  // namespace

HRESULT CreateLogonAsPage(REFIID riid, void** ppv) { return Create<LogonAsPage>(riid, ppv); }
HRESULT CreateManagerAccessPage(REFIID riid, void** ppv) { return Create<ManagerAccessPage>(riid, ppv); }
HRESULT CreateServiceAccessPage(REFIID riid, void** ppv) { return Create<ServiceAccessPage>(riid, ppv); }
HRESULT CreateDependenciesPage(REFIID riid, void** ppv) { return Create<DependenciesPage>(riid, ppv); }

void SetErrorReporter(ErrorReporter reporter) { Reporter() = std::move(reporter); }

std::string LogonAsDescription() {
    return Join({"In order to have full access to the managed computer ", "you must have ",
                 "administrative privileges. You may use LogonAs ", "property to provide ",
                 "administrative logon. The session with new credentials ", "will be ",
                 "established at the moment of changing MachineName ", "propety."});
}

std::string ManagerAccessDescription() {
    return Join({"The ManagerAccess ", "property ", "specifies the desired ", "access to the ",
                 "service control manager. ", "The value ", "must be set before ", "activating ",
                 "property ActiveManager. "});
}

std::string ServiceAccessDescription() {
    return Join({"The ServiceAccess ", "property ", "specifies the desired ", "access to ", "the service ",
                 "\"ServiceName\". ", "The value must be set ", "before ", "activating property ",
                 "ActiveService. "});
}

std::string DependenciesDescription() {
    return Join({"The property sets/returns ", "the  ", "names of services or load ", "ordering ",
                 "groups that must start ", "before this ", "service. If the ", "Dependencies is an ",
                 "empty list, the service has ", "no ", "dependencies. f a group ", "name is ",
                 "specified, it must be ", "prefixed by ", "\"+\" symbol."});
}

}  // namespace dovrin::pages
