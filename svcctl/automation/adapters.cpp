#include "automation/adapters.h"

#include <utility>

#include "core/errors.h"
#include "core/values.h"

namespace dovrin::automation {

namespace {

class StatusObject : public AutoObject<IServiceStatusClass> {
public:
    explicit StatusObject(std::shared_ptr<ServiceStatusClass> record) : r_(std::move(record)) {}
    ~StatusObject() override {
        if (r_->status_object == this) r_->status_object = nullptr;
    }

    STDMETHODIMP get_ServiceName(BSTR* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return GetText(r_->service_name, v); });
    }
    STDMETHODIMP put_ServiceName(BSTR v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return PutText(r_->service_name, v); });
    }
    STDMETHODIMP get_DisplayedName(BSTR* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return GetText(r_->displayed_name, v); });
    }
    STDMETHODIMP put_DisplayedName(BSTR v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return PutText(r_->displayed_name, v); });
    }
    STDMETHODIMP get_ServiceType(TServiceTypes* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = TServiceTypes(ServiceTypesToWin32(r_->service_type));
            return S_OK;
        });
    }
    STDMETHODIMP put_ServiceType(TServiceTypes v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            r_->service_type = Win32ToServiceTypes(std::uint32_t(v));
            return S_OK;
        });
    }
    STDMETHODIMP get_CurrentState(TCurrentState* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = TCurrentState(CurrentStateToWin32(r_->current_state));
            return S_OK;
        });
    }
    STDMETHODIMP put_CurrentState(TCurrentState v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            r_->current_state = Win32ToCurrentState(std::uint32_t(v));
            return S_OK;
        });
    }
    STDMETHODIMP get_ControlsAccepted(TControlAcceptedSet* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = TControlAcceptedSet(ControlsAcceptedToWin32(r_->controls_accepted));
            return S_OK;
        });
    }
    STDMETHODIMP put_ControlsAccepted(TControlAcceptedSet v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            r_->controls_accepted = Win32ToControlsAccepted(std::uint32_t(v));
            return S_OK;
        });
    }
    STDMETHODIMP get_Win32ExitCode(long* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return Get(r_->win32_exit_code, v); });
    }
    STDMETHODIMP put_Win32ExitCode(long v) override { r_->win32_exit_code = v; return S_OK; }
    STDMETHODIMP get_ServiceSpecificExitCode(long* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            return Get(r_->service_specific_exit_code, v);
        });
    }
    STDMETHODIMP put_ServiceSpecificExitCode(long v) override {
        r_->service_specific_exit_code = v;
        return S_OK;
    }
    STDMETHODIMP get_CheckPoint(long* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return Get(r_->check_point, v); });
    }
    STDMETHODIMP put_CheckPoint(long v) override { r_->check_point = v; return S_OK; }
    STDMETHODIMP get_WaitHint(long* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return Get(r_->wait_hint, v); });
    }
    STDMETHODIMP put_WaitHint(long v) override { r_->wait_hint = v; return S_OK; }

private:
    static HRESULT Get(std::uint32_t field, long* v) {
        if (!v) return E_POINTER;
        *v = long(field);
        return S_OK;
    }
    static HRESULT GetText(const std::string& field, BSTR* v) {
        if (!v) return E_POINTER;
        *v = nullptr;
        return Guard([&] { *v = NewBstr(field); });
    }
    static HRESULT PutText(std::string& field, BSTR v) {
        return Guard([&] { field = Text(v); });
    }
    std::shared_ptr<ServiceStatusClass> r_;
};

class ListObject : public AutoObject<IEnumList> {
public:
    explicit ListObject(std::shared_ptr<EnumList> list) : list_(std::move(list)) {}
    ~ListObject() override {
        if (list_->list_object == this) list_->list_object = nullptr;
    }

    STDMETHODIMP Delete(long index) override { return Guard([&] { list_->Delete(index); }); }
    STDMETHODIMP Clear() override { return Guard([&] { list_->Clear(); }); }
    STDMETHODIMP get_Items(long index, IServiceStatusClass** v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = nullptr;
            HRESULT hr = S_OK;
            HRESULT guarded = Guard([&] { hr = StatusObjectOf(list_->ItemPtr(index), v); });
            return FAILED(guarded) ? guarded : hr;
        });
    }
    STDMETHODIMP put_Items(long, IServiceStatusClass*) override { return S_OK; }
    STDMETHODIMP IndexOf(BSTR name, long* v) override {
        if (!v) return E_POINTER;
        return Guard([&] { *v = list_->IndexOf(Text(name)); });
    }
    STDMETHODIMP get_Count(long* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = list_->Count();
            return S_OK;
        });
    }
    STDMETHODIMP Add(IServiceStatusClass** v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = nullptr;
            HRESULT hr = S_OK;
            HRESULT guarded = Guard([&] {
                list_->Add();
                hr = StatusObjectOf(list_->ItemPtr(list_->Count() - 1), v);
            });
            return FAILED(guarded) ? guarded : hr;
        });
    }

protected:
    // A script's Set on Items arrives as PROPERTYPUTREF.
    bool PutRefIsPut(DISPID id) override { return id == 3; }

private:
    std::shared_ptr<EnumList> list_;
};

class LockStatusObject : public AutoObject<IQueryServiceLockStatus> {
public:
    STDMETHODIMP get_fIsLocked(long* v) override {
        if (!v) return E_POINTER;
        *v = locked_;
        return S_OK;
    }
    STDMETHODIMP put_fIsLocked(long v) override { locked_ = v; return S_OK; }
    STDMETHODIMP get_lpLockOwner(BSTR* v) override {
        if (!v) return E_POINTER;
        *v = nullptr;
        return Guard([&] { *v = NewBstr(owner_); });
    }
    STDMETHODIMP put_lpLockOwner(BSTR v) override { return Guard([&] { owner_ = Text(v); }); }
    STDMETHODIMP get_dwLockDuration(long* v) override {
        if (!v) return E_POINTER;
        *v = duration_;
        return S_OK;
    }
    STDMETHODIMP put_dwLockDuration(long v) override { duration_ = v; return S_OK; }

private:
    long locked_ = 0;
    std::string owner_;
    long duration_ = 0;
};

// The text of a variant, references followed (scripts pass their variables by reference).
std::string VariantText(const VARIANT& value) {
    VARIANT copy, text;
    ::VariantInit(&copy);
    ::VariantInit(&text);
    HRESULT hr = ::VariantCopyInd(&copy, const_cast<VARIANT*>(&value));
    if (SUCCEEDED(hr)) hr = ::VariantChangeType(&text, &copy, 0, VT_BSTR);
    ::VariantClear(&copy);
    if (FAILED(hr)) throw Error("Invalid variant type conversion");
    std::string result = Text(text.bstrVal);
    ::VariantClear(&text);
    return result;
}

class StringListObject : public AutoObject<IStringList> {
public:
    StringListObject(StringList* list, std::unique_ptr<StringList> owned, IUnknown* owner)
        : list_(list), owned_(std::move(owned)), owner_(owner) {
        if (owner_) owner_->AddRef();
    }
    ~StringListObject() override {
        if (owner_) owner_->Release();
    }

    STDMETHODIMP get_Text(BSTR* v) override {
        if (!v) return E_POINTER;
        *v = nullptr;
        return Guard([&] { *v = NewBstr(list_ ? list_->Text() : std::string()); });
    }
    STDMETHODIMP put_Text(BSTR v) override {
        return Guard([&] {
            if (!list_) return;
            StringList lines;
            lines.SetText(Text(v));
            // Replaces the items only; a sorted list keeps its order rule.
            list_->Clear();
            for (const auto& line : lines.Items()) list_->Add(line);
        });
    }
    STDMETHODIMP IndexOf(BSTR s, long* v) override {
        if (!v) return E_POINTER;
        return Guard([&] { *v = list_ ? list_->IndexOf(Text(s)) : -1; });
    }
    STDMETHODIMP get_Count(long* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            *v = list_ ? list_->Count() : 0;
            return S_OK;
        });
    }
    STDMETHODIMP get_Item(long index, VARIANT* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!v) return E_POINTER;
            ::VariantInit(v);
            return Guard([&] {
                if (!list_) {
                    v->vt = VT_NULL;
                    return;
                }
                BSTR text = NewBstr((*list_)[index]);
                v->vt = VT_BSTR;
                v->bstrVal = text;
            });
        });
    }
    STDMETHODIMP put_Item(long index, VARIANT value) override {
        return Guard([&] {
            if (list_) list_->Put(index, VariantText(value));
        });
    }
    STDMETHODIMP Clear() override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (list_) list_->Clear();
            return S_OK;
        });
    }
    STDMETHODIMP Add(VARIANT s, long* v) override {
        if (!v) return E_POINTER;
        return Guard([&] { *v = list_ ? list_->Add(VariantText(s)) : -1; });
    }
    STDMETHODIMP Delete(long index) override {
        return Guard([&] {
            if (list_) list_->Delete(index);
        });
    }

private:
    StringList* list_;
    std::unique_ptr<StringList> owned_;
    IUnknown* owner_;
};

class LogonAsObject : public AutoObject<ILogonAs> {
public:
    explicit LogonAsObject(TLogonAs* logon_as) : logon_as_(logon_as) {}
    void Detach() { logon_as_ = nullptr; }

    STDMETHODIMP get_UserName(BSTR* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return GetText(&TLogonAs::user_name, v); });
    }
    STDMETHODIMP put_UserName(BSTR v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return PutText(&TLogonAs::user_name, v); });
    }
    STDMETHODIMP get_Password(BSTR* v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return GetText(&TLogonAs::password, v); });
    }
    STDMETHODIMP put_Password(BSTR v) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return PutText(&TLogonAs::password, v); });
    }

private:
    HRESULT GetText(std::string TLogonAs::*field, BSTR* v) {
        if (!v) return E_POINTER;
        *v = nullptr;
        return Guard([&] {
            if (logon_as_) *v = NewBstr(logon_as_->*field);
        });
    }
    HRESULT PutText(std::string TLogonAs::*field, BSTR v) {
        return Guard([&] {
            if (logon_as_) logon_as_->*field = Text(v);
        });
    }
    TLogonAs* logon_as_;
};

}  // namespace

HRESULT StatusObjectOf(const std::shared_ptr<ServiceStatusClass>& record,
                       IServiceStatusClass** out) {
    *out = nullptr;
    if (auto* existing = static_cast<StatusObject*>(record->status_object)) {
        existing->AddRef();
        *out = existing;
        return S_OK;
    }
    auto* object = new (std::nothrow) StatusObject(record);
    HRESULT hr = MakeObject(object, kDovrinLibrary, out);
    if (SUCCEEDED(hr)) record->status_object = object;
    return hr;
}

HRESULT ListObjectOf(const std::shared_ptr<EnumList>& list, IEnumList** out) {
    *out = nullptr;
    if (auto* existing = static_cast<ListObject*>(list->list_object)) {
        existing->AddRef();
        *out = existing;
        return S_OK;
    }
    auto* object = new (std::nothrow) ListObject(list);
    HRESULT hr = MakeObject(object, kDovrinLibrary, out);
    if (SUCCEEDED(hr)) list->list_object = object;
    return hr;
}

HRESULT NewLockStatusObject(IQueryServiceLockStatus** out) {
    return MakeObject(new (std::nothrow) LockStatusObject(), kDovrinLibrary, out);
}

HRESULT NewStringListObject(std::unique_ptr<StringList> list, IStringList** out) {
    StringList* raw = list.get();
    return MakeObject(new (std::nothrow) StringListObject(raw, std::move(list), nullptr),
                      kQuillabyLibrary, out);
}

HRESULT StringListObjectOver(StringList* list, IUnknown* owner, IStringList** out) {
    return MakeObject(new (std::nothrow) StringListObject(list, nullptr, owner),
                      kQuillabyLibrary, out);
}

HRESULT LogonAsObjectOf(TLogonAs& logon_as, ILogonAs** out) {
    *out = nullptr;
    if (auto* existing = static_cast<LogonAsObject*>(logon_as.automation_adapter)) {
        existing->AddRef();
        *out = existing;
        return S_OK;
    }
    auto* object = new (std::nothrow) LogonAsObject(&logon_as);
    HRESULT hr = MakeObject(object, kQuillabyLibrary, out);
    if (FAILED(hr)) return hr;
    // The TLogonAs keeps its object: one reference of its own.
    object->AddRef();
    logon_as.automation_adapter = object;
    return S_OK;
}

void DetachLogonAs(TLogonAs& logon_as) {
    if (auto* object = static_cast<LogonAsObject*>(logon_as.automation_adapter)) {
        object->Detach();
        object->Release();
        logon_as.automation_adapter = nullptr;
    }
}

}  // namespace dovrin::automation
