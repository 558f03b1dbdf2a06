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
#include "platform/winapi/self_registration.h"

namespace {

const char kQuillabyText[] = "Cannot register type library (Quillaby.tlb not found ?)";

std::vector<vantrel::com::ClassRegistration> Classes() {
    vantrel::com::ClassRegistration control;
    control.clsid = vantrel::com::GuidText(CLSID_VuRURazerir);
    control.name = "VuRURazerir Control";
    control.prog_id = "Dovrin.VuRURazerir";
    control.type_lib = vantrel::com::GuidText(dovrin::automation::kDovrinLibrary);
    control.version = "1.0";
    control.control = true;
    control.toolbox_bitmap = 4;
    control.misc_status = dovrin::automation::kMiscStatus;
    std::vector<vantrel::com::ClassRegistration> classes{control};
    // The property pages, served by the same module.
    const struct {
        const CLSID* clsid;
        const char* name;
    } pages[] = {
        {&dovrin::automation::kLogonAsPage, "LogonAs"},
        {&dovrin::automation::kManagerAccessPage, "ManagerAccess"},
        {&dovrin::automation::kServiceAccessPage, "ServiceAccess"},
        {&dovrin::automation::kDependenciesPage, "Dependencies"},
    };
    for (const auto& page : pages) {
        vantrel::com::ClassRegistration c;
        c.clsid = vantrel::com::GuidText(*page.clsid);
        c.name = page.name;
        classes.push_back(c);
    }
    return classes;
}

// The base interfaces, from beside the module.
HRESULT RegisterQuillaby() {
    wchar_t module[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(vantrel::com::ModuleHandle(), module, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return E_FAIL;
    std::wstring path(module, n);
    path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"Quillaby.tlb";
    ITypeLib* base = nullptr;
    HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &base);
    if (FAILED(hr)) return hr;
    hr = ::RegisterTypeLib(base, path.data(), nullptr);
    base->Release();
    return hr;
}

}  // namespace

STDAPI DllRegisterServer() {
    HRESULT hr = vantrel::com::RegisterServer(Classes());
    if (SUCCEEDED(hr)) hr = RegisterQuillaby();
    if (SUCCEEDED(hr)) return S_OK;
    // Whatever step failed, the caller learns the one reason a user can act on.
    return dovrin::automation::Fail(dovrin::ComponentError(kQuillabyText));
}

STDAPI DllUnregisterServer() {
    vantrel::com::UnregisterServer(Classes());
    vantrel::com::UnregisterTypeLibrary(dovrin::automation::kQuillabyLibrary, 1, 0,
                                        dovrin::automation::LibraryLocale(dovrin::automation::kQuillabyLibrary),
                                        sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    return S_OK;
}
