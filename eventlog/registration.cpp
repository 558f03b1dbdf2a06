// Self-registration: the entries of every class of the module's class table, named as the
// type library names them, and the type library.
#include <windows.h>

#include <vector>

#include "core/class_table.h"
#include "lorvex.h"
#include "platform/winapi/com_module.h"
#include "platform/winapi/self_registration.h"

namespace {

HRESULT Classes(std::vector<vantrel::com::ClassRegistration>& classes) {
    ITypeLib* tl = vantrel::com::ModuleTypeLib();
    if (!tl) return TYPE_E_CANTLOADLIBRARY;
    const std::string libid = vantrel::com::GuidText(LIBID_Lorvex);
    for (size_t i = 0; i < vantrel::com::kModuleClassCount; ++i) {
        const CLSID& clsid = *vantrel::com::kModuleClasses[i].clsid;
        ITypeInfo* info = nullptr;
        HRESULT hr = tl->GetTypeInfoOfGuid(clsid, &info);
        if (FAILED(hr)) return hr;
        BSTR name = nullptr;
        hr = info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        info->Release();
        if (FAILED(hr)) return hr;
        std::string text;
        for (const wchar_t* p = name; p && *p; ++p) text += static_cast<char>(*p);
        ::SysFreeString(name);
        classes.push_back(lorvex::ClassRegistrationOf(text, vantrel::com::GuidText(clsid), libid));
    }
    return S_OK;
}

}  // namespace

STDAPI DllRegisterServer() {
    std::vector<vantrel::com::ClassRegistration> classes;
    HRESULT hr = Classes(classes);
    return FAILED(hr) ? hr : vantrel::com::RegisterServer(classes);
}

STDAPI DllUnregisterServer() {
    std::vector<vantrel::com::ClassRegistration> classes;
    HRESULT hr = Classes(classes);
    return FAILED(hr) ? hr : vantrel::com::UnregisterServer(classes);
}
