#include "automation/state_io.h"

#include "automation/auto_object.h"
#include "core/errors.h"

namespace dovrin::automation {

namespace {

StateValue Make(const char* name, ValueKind kind) {
    StateValue v;
    v.name = name;
    v.kind = kind;
    return v;
}

void AddText(ControlState& s, const char* name, const std::string& text, bool always = false) {
    if (text.empty() && !always) return;
    StateValue v = Make(name, ValueKind::Text);
    v.text = text;
    s.values.push_back(std::move(v));
}

void AddInt(ControlState& s, const char* name, std::uint32_t value, ValueKind kind = ValueKind::Integer) {
    StateValue v = Make(name, kind);
    v.integer = std::int32_t(value);
    s.values.push_back(std::move(v));
}

}  // namespace

const std::vector<std::string>& PersistedNames() {
    static const std::vector<std::string> names{
        "MachineName", "DatabaseName", "ActiveManager", "ActiveService", "ManagerAccess",
        "ServiceAccess", "ServiceName", "DisplayName", "BinaryPathName", "StartType",
        "ErrorControl", "ServiceType", "LoadOrder", "TagId", "Dependencies",
        "ServiceStartName", "Password", "LogonAs.UserName", "LogonAs.Password"};
    return names;
}

ValueKind KindOfProperty(const std::string& name) {
    if (name == "ActiveManager" || name == "ActiveService") return ValueKind::Boolean;
    if (name == "ManagerAccess" || name == "ServiceAccess" || name == "StartType" ||
        name == "ErrorControl" || name == "ServiceType" || name == "TagId")
        return ValueKind::Integer;
    if (name == "Dependencies") return ValueKind::List;
    return ValueKind::Text;
}

ControlState CaptureState(TNTService& s) {
    ControlState st;
    RECT r = s.Bounds();
    st.width = r.right - r.left;
    st.height = r.bottom - r.top;
    AddText(st, "MachineName", s.GetMachineName());
    AddText(st, "DatabaseName", s.DatabaseName());
    AddInt(st, "ActiveManager", s.ActiveManager(), ValueKind::Boolean);
    AddInt(st, "ActiveService", s.ActiveService(), ValueKind::Boolean);
    AddInt(st, "ManagerAccess", ManagerAccessToWin32(s.GetManagerAccess()));
    AddInt(st, "ServiceAccess", ServiceAccessToWin32(s.GetServiceAccess()));
    AddText(st, "ServiceName", s.ServiceName());
    AddText(st, "DisplayName", s.DisplayName());
    AddText(st, "BinaryPathName", s.BinaryPathName());
    AddInt(st, "StartType", StartTypeToWin32(s.GetStartType()));
    AddInt(st, "ErrorControl", ErrorTypeToWin32(s.GetErrorControl()));
    AddInt(st, "ServiceType", ServiceTypesToWin32(s.GetServiceType()));
    AddText(st, "LoadOrder", s.LoadOrder());
    AddInt(st, "TagId", s.TagId());
    if (s.Dependencies().Count() > 0) {
        StateValue v = Make("Dependencies", ValueKind::List);
        v.list = s.Dependencies().Items();
        st.values.push_back(std::move(v));
    }
    AddText(st, "ServiceStartName", s.ServiceStartName());
    AddText(st, "Password", s.Password());
    AddText(st, "LogonAs.UserName", s.LogonAs().user_name, true);  // both logon texts are always stored
    AddText(st, "LogonAs.Password", s.LogonAs().password, true);
    return st;
}

void ApplyState(TNTService& s, const ControlState& st) {
    s.BeginLoading();
    try {
        s.SetBounds(s.Bounds().left, s.Bounds().top, st.width, st.height);
        for (const auto& v : st.values) {
            // A value of another kind than the property's is no value for it.
            if (v.kind != KindOfProperty(v.name)) continue;
            const std::string& n = v.name;
            const auto u = std::uint32_t(v.integer);
            if (n == "MachineName") s.SetMachineName(v.text);
            else if (n == "DatabaseName") s.SetDatabaseName(v.text);
            else if (n == "ActiveManager") s.SetActiveManager(v.integer != 0);
            else if (n == "ActiveService") s.SetActiveService(v.integer != 0);
            else if (n == "ManagerAccess") s.SetManagerAccess(Win32ToManagerAccess(u));
            else if (n == "ServiceAccess") s.SetServiceAccess(Win32ToServiceAccess(u));
            else if (n == "ServiceName") s.SetServiceName(v.text);
            else if (n == "DisplayName") s.SetDisplayName(v.text);
            else if (n == "BinaryPathName") s.SetBinaryPathName(v.text);
            else if (n == "StartType") s.SetStartType(Win32ToStartType(u));
            else if (n == "ErrorControl") s.SetErrorControl(Win32ToErrorType(u));
            else if (n == "ServiceType") s.SetServiceType(Win32ToServiceTypes(u));
            else if (n == "LoadOrder") s.SetLoadOrder(v.text);
            else if (n == "TagId") s.SetTagId(u);
            else if (n == "Dependencies") {
                StringList list;
                for (const auto& item : v.list) list.Add(item);
                s.SetDependencies(list);
            } else if (n == "ServiceStartName") s.SetServiceStartName(v.text);
            else if (n == "Password") s.SetPassword(v.text);
            else if (n == "LogonAs.UserName") s.LogonAs().user_name = v.text;
            else if (n == "LogonAs.Password") s.LogonAs().password = v.text;
        }
    } catch (...) {
        // A refused value ends the load: the setters' rules hold again from here on.
        s.CancelLoading();
        throw;
    }
    s.EndReading();
    s.Loaded();
}

HRESULT StateValueToVariant(const StateValue& v, VARIANT* out) {
    ::VariantInit(out);
    switch (v.kind) {
        case ValueKind::Text:
            out->vt = VT_BSTR;
            out->bstrVal = ::SysAllocString(L"");
            if (!v.text.empty()) {
                ::SysFreeString(out->bstrVal);
                out->bstrVal = NewBstr(v.text);
            }
            return S_OK;
        case ValueKind::Integer: out->vt = VT_I4; out->lVal = v.integer; return S_OK;
        case ValueKind::Boolean: out->vt = VT_BOOL; out->boolVal = Bool(v.integer != 0); return S_OK;
        case ValueKind::List: {
            StringList list;
            for (const auto& item : v.list) list.Add(item);
            out->vt = VT_BSTR;
            out->bstrVal = NewBstr(list.Text());
            if (!out->bstrVal) out->bstrVal = ::SysAllocString(L"");
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

void VariantToStateValue(const VARIANT& in, StateValue& v) {
    VARIANT copy, conv;
    ::VariantInit(&copy);
    ::VariantInit(&conv);
    VARTYPE want = v.kind == ValueKind::Integer ? VT_I4 : v.kind == ValueKind::Boolean ? VT_BOOL : VT_BSTR;
    HRESULT hr = ::VariantCopyInd(&copy, const_cast<VARIANT*>(&in));
    if (SUCCEEDED(hr)) hr = ::VariantChangeType(&conv, &copy, 0, want);
    ::VariantClear(&copy);
    if (FAILED(hr)) throw Error("Invalid property value: " + v.name);
    switch (v.kind) {
        case ValueKind::Text: v.text = Text(conv.bstrVal); break;
        case ValueKind::Integer: v.integer = conv.lVal; break;
        case ValueKind::Boolean: v.integer = conv.boolVal ? 1 : 0; break;
        case ValueKind::List: {
            StringList list;
            list.SetText(Text(conv.bstrVal));
            v.list = list.Items();
            break;
        }
    }
    ::VariantClear(&conv);
}

}  // namespace dovrin::automation
