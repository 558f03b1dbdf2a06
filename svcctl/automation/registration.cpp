// Self-registration: the control's class entries, the main type library from the module
// and Quillaby.tlb from beside it.
#include <windows.h>

#include <string>
#include <vector>

#include "automation/auto_object.h"
#include "automation/service_control.h"
#include "core/errors.h"
#include "dovrin.h"
#include "platform/winapi/com_server.h"
#include "platform/winapi/handles.h"

namespace {

const char kProgId[] = "Dovrin.VuRURazerir";
const char kDescription[] = "VuRURazerir Control";
const char kQuillabyText[] = "Cannot register type library (Quillaby.tlb not found ?)";

std::string GuidText(REFGUID g) {
    wchar_t w[40];
    ::StringFromGUID2(g, w, 40);
    char a[40];
    ::WideCharToMultiByte(CP_ACP, 0, w, -1, a, sizeof a, nullptr, nullptr);
    return a;
}

std::wstring ModulePathW() {
    wchar_t path[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(vantrel::com::ModuleHandle(), path, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::wstring(path, n) : std::wstring();
}

std::string ModulePathA() {
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(vantrel::com::ModuleHandle(), path, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::string(path, n) : std::string();
}

struct Value {
    std::string key, name, data;
};

struct PageClass {
    const CLSID* clsid;
    const char* name;
};
const PageClass kPages[] = {
    {&dovrin::automation::kLogonAsPage, "LogonAs"},
    {&dovrin::automation::kManagerAccessPage, "ManagerAccess"},
    {&dovrin::automation::kServiceAccessPage, "ServiceAccess"},
    {&dovrin::automation::kDependenciesPage, "Dependencies"},
};

std::vector<Value> ClassValues(const std::string& module) {
    const std::string clsid = GuidText(CLSID_VuRURazerir);
    const std::string key = "CLSID\\" + clsid;
    std::vector<Value> values = {
        {key, "", kDescription},
        {key + "\\InprocServer32", "", module},
        {key + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {key + "\\ProgID", "", kProgId},
        {key + "\\TypeLib", "", GuidText(dovrin::automation::kDovrinLibrary)},
        {key + "\\Version", "", "1.0"},
        {key + "\\Control", "", ""},
        {key + "\\ToolboxBitmap32", "", module + ",4"},
        {key + "\\MiscStatus", "", "0"},
        {key + "\\MiscStatus\\1", "", std::to_string(dovrin::automation::kMiscStatus)},
        {kProgId, "", kDescription},
        {std::string(kProgId) + "\\CLSID", "", clsid},
    };
    for (const auto& page : kPages) {
        const std::string page_key = "CLSID\\" + GuidText(*page.clsid);
        values.push_back({page_key, "", page.name});
        values.push_back({page_key + "\\InprocServer32", "", module});
        values.push_back({page_key + "\\InprocServer32", "ThreadingModel", "Apartment"});
    }
    return values;
}

HRESULT WriteValue(const Value& v) {
    vantrel::RegKey key;
    LONG rc = ::RegCreateKeyExA(HKEY_CLASSES_ROOT, v.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (rc == ERROR_SUCCESS)
        rc = ::RegSetValueExA(key.get(), v.name.empty() ? nullptr : v.name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(v.data.c_str()), DWORD(v.data.size() + 1));
    return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

HRESULT RegisterEverything() {
    const std::string module = ModulePathA();
    const std::wstring wmodule = ModulePathW();
    if (module.empty() || wmodule.empty()) return E_FAIL;
    for (const auto& v : ClassValues(module)) {
        HRESULT hr = WriteValue(v);
        if (FAILED(hr)) return hr;
    }
    ITypeLib* main = vantrel::com::ModuleTypeLib();
    if (!main) return TYPE_E_CANTLOADLIBRARY;
    HRESULT hr = ::RegisterTypeLib(main, const_cast<wchar_t*>(wmodule.c_str()), nullptr);
    if (FAILED(hr)) return hr;
    // The base interfaces, from beside the module.
    std::wstring quillaby = wmodule.substr(0, wmodule.find_last_of(L"\\/") + 1) + L"Quillaby.tlb";
    ITypeLib* base = nullptr;
    hr = ::LoadTypeLibEx(quillaby.c_str(), REGKIND_NONE, &base);
    if (FAILED(hr)) return hr;
    hr = ::RegisterTypeLib(base, const_cast<wchar_t*>(quillaby.c_str()), nullptr);
    base->Release();
    return hr;
}

void UnregisterLibrary(REFGUID libid) {
    BSTR path = nullptr;
    if (FAILED(::QueryPathOfRegTypeLib(libid, 1, 0, dovrin::automation::LibraryLocale(libid), &path))) return;
    ::SysFreeString(path);
    ::UnRegisterTypeLib(libid, 1, 0, dovrin::automation::LibraryLocale(libid), sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
}

}  // namespace

STDAPI DllRegisterServer() {
    if (SUCCEEDED(RegisterEverything())) return S_OK;
    // Whatever step failed, the caller learns the one reason a user can act on.
    return dovrin::automation::Fail(dovrin::ComponentError(kQuillabyText));
}

STDAPI DllUnregisterServer() {
    const std::string clsid = GuidText(CLSID_VuRURazerir);
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + clsid).c_str());
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, kProgId);
    for (const auto& page : kPages)
        ::RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + GuidText(*page.clsid)).c_str());
    UnregisterLibrary(dovrin::automation::kDovrinLibrary);
    UnregisterLibrary(dovrin::automation::kQuillabyLibrary);
    return S_OK;
}
