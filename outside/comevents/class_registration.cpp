#include "class_registration.h"

#include <string>
#include <vector>

#include "platform/winapi/com_server.h"
#include "platform/winapi/handles.h"

namespace vantrel::com {

namespace {

HRESULT FromWin32(LONG code) { return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code); }

HRESULT SetValue(const std::string& key_path, const char* name, const std::string& data) {
    RegKey key;
    LONG rc = ::RegCreateKeyExA(HKEY_CLASSES_ROOT, key_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (rc != ERROR_SUCCESS) return FromWin32(rc);
    rc = ::RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(data.size() + 1));
    return FromWin32(rc);
}

}  // namespace

HRESULT RegisterClassServer(const ClassInfo& info) {
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(info.module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return HRESULT_FROM_WIN32(::GetLastError());
    const std::string key = std::string("CLSID\\") + info.clsid;
    struct Value {
        std::string key;
        const char* name;
        std::string data;
    };
    std::vector<Value> values{{key, nullptr, info.name},
                              {key + "\\InprocServer32", nullptr, std::string(path, n)},
                              {key + "\\InprocServer32", "ThreadingModel", "Apartment"},
                              {key + "\\TypeLib", nullptr, info.libid},
                              {key + "\\Version", nullptr, "1.0"}};
    if (info.prog_id) {
        const std::string versioned = std::string(info.prog_id) + ".1";
        values.push_back({key + "\\ProgID", nullptr, versioned});
        values.push_back({key + "\\VersionIndependentProgID", nullptr, info.prog_id});
        values.push_back({info.prog_id, nullptr, info.name});
        values.push_back({std::string(info.prog_id) + "\\CLSID", nullptr, info.clsid});
        values.push_back({std::string(info.prog_id) + "\\CurVer", nullptr, versioned});
        values.push_back({versioned, nullptr, info.name});
        values.push_back({versioned + "\\CLSID", nullptr, info.clsid});
    }
    for (const auto& v : values) {
        HRESULT hr = SetValue(v.key, v.name, v.data);
        if (FAILED(hr)) return hr;
    }
    ITypeLib* tl = ModuleTypeLib();
    if (!tl) return TYPE_E_CANTLOADLIBRARY;
    wchar_t wpath[MAX_PATH];
    ::GetModuleFileNameW(info.module, wpath, MAX_PATH);
    return ::RegisterTypeLib(tl, wpath, nullptr);
}

HRESULT UnregisterClassServer(const ClassInfo& info) {
    HRESULT result = S_OK;
    std::vector<std::string> keys{std::string("CLSID\\") + info.clsid};
    if (info.prog_id) {
        keys.push_back(info.prog_id);
        keys.push_back(std::string(info.prog_id) + ".1");
    }
    for (const auto& key : keys) {
        LONG rc = ::RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) result = FromWin32(rc);
    }
    BSTR registered = nullptr;
    if (SUCCEEDED(::QueryPathOfRegTypeLib(info.libid_guid, 1, 0, 0, &registered))) {
        ::SysFreeString(registered);
        HRESULT hr = ::UnRegisterTypeLib(info.libid_guid, 1, 0, 0, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
        if (FAILED(hr)) result = hr;
    }
    return result;
}

}  // namespace vantrel::com
