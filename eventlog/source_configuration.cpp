// EventSourceConfiguration: registers an event source of the Application log on this
// computer, value by value, and removes its key with its last value.
#include <windows.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "classes.h"
#include "error_report.h"
#include "lorvex.h"
#include "platform/winapi/com_barrier.h"
#include "platform/winapi/com_server.h"
#include "platform/winapi/handles.h"
#include "platform/winapi/oleauto.h"

namespace lorvex {
namespace {

constexpr char kApplicationKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
const CLSID& kClass = CLSID_EventSourceConfiguration;

class EventSourceConfiguration final : public vantrel::com::Dual<IEventSourceConfiguration> {
public:
    STDMETHODIMP get_SourceName(BSTR* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!pVal) return ReportNullPointer(kClass);
            *pVal = ::SysAllocStringLen(source_name_.data(), static_cast<UINT>(source_name_.size()));
            return *pVal ? S_OK : E_OUTOFMEMORY;
        });
    }
    STDMETHODIMP put_SourceName(BSTR newVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            source_name_ = newVal ? std::wstring(newVal, ::SysStringLen(newVal)) : std::wstring();
            return S_OK;
        });
    }
    STDMETHODIMP get_EventMessageFile(BSTR* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return GetText("EventMessageFile", pVal); });
    }
    STDMETHODIMP put_EventMessageFile(BSTR newVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return SetText("EventMessageFile", newVal); });
    }
    STDMETHODIMP get_CategoryMessageFile(BSTR* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return GetText("CategoryMessageFile", pVal); });
    }
    STDMETHODIMP put_CategoryMessageFile(BSTR newVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return SetText("CategoryMessageFile", newVal); });
    }
    STDMETHODIMP get_ParameterMessageFile(BSTR* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return GetText("ParameterMessageFile", pVal); });
    }
    STDMETHODIMP put_ParameterMessageFile(BSTR newVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return SetText("ParameterMessageFile", newVal); });
    }
    STDMETHODIMP get_CategoryCount(long* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return GetNumber("CategoryCount", pVal); });
    }
    STDMETHODIMP put_CategoryCount(long newVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return SetNumber("CategoryCount", newVal); });
    }
    STDMETHODIMP get_TypesSupported(LORVEX_TYPES_SUPPORTED* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            return GetNumber("TypesSupported", reinterpret_cast<long*>(pVal));
        });
    }
    STDMETHODIMP put_TypesSupported(LORVEX_TYPES_SUPPORTED newVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return SetNumber("TypesSupported", newVal); });
    }

private:
    HRESULT RequireSource() const {
        return source_name_.empty() ? ReportError(kClass, E_FAIL, "Failed to supply source name") : S_OK;
    }
    std::string KeyPath() const { return std::string(kApplicationKey) + "\\" + vantrel::AnsiFromWide(source_name_); }

    HRESULT OpenKey(bool write, vantrel::RegKey* key) const {
        const std::string path = KeyPath();
        LONG rc = path.size() > 259 ? ERROR_FILENAME_EXCED_RANGE
                  : write ? ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                              KEY_SET_VALUE, nullptr, key->put(), nullptr)
                          : ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, key->put());
        return rc == ERROR_SUCCESS ? S_OK : ReportWin32Error(kClass, rc, "Error opening event source registry key");
    }

    HRESULT GetText(const char* name, BSTR* out) {
        if (!out) return ReportNullPointer(kClass);
        HRESULT hr = RequireSource();
        vantrel::RegKey key;
        if (SUCCEEDED(hr)) hr = OpenKey(false, &key);
        if (FAILED(hr)) return hr;
        DWORD type = 0, size = 0;
        LONG rc = ::RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size);
        std::vector<char> value;
        if (rc == ERROR_SUCCESS) {
            if (!vantrel::com::TryResize(value, size, "Failed to allocate memory for event source registry value"))
                return ReportError(kClass, E_OUTOFMEMORY, "Failed to allocate memory for event source registry value");
            rc = ::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size);
            value.resize(std::min<size_t>(size, value.size()));
            while (!value.empty() && value.back() == '\0') value.pop_back();
        }
        if (rc == ERROR_FILE_NOT_FOUND) {
            value.clear();  // a missing value reads as an empty text
        } else if (rc != ERROR_SUCCESS) {
            return ReportWin32Error(kClass, rc, "Error querying event source registry value");
        }
        try {
            *out = vantrel::Bstr(vantrel::WideFromAnsi(value.data(), value.size())).release();
        } catch (const std::bad_alloc&) {
            *out = nullptr;
        }
        return *out ? S_OK : ReportError(kClass, E_OUTOFMEMORY, "Failed to allocate memory for event source registry value");
    }

    HRESULT SetText(const char* name, BSTR value) {
        HRESULT hr = RequireSource();
        if (FAILED(hr)) return hr;
        if (!value) return DeleteValue(name);
        vantrel::RegKey key;
        hr = OpenKey(true, &key);
        if (FAILED(hr)) return hr;
        std::string text = vantrel::AnsiFromWide(value, ::SysStringLen(value));
        LONG rc = ::RegSetValueExA(key.get(), name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                   static_cast<DWORD>(text.size() + 1));
        return rc == ERROR_SUCCESS ? S_OK : ReportWin32Error(kClass, rc, "Error setting event source registry value");
    }

    HRESULT GetNumber(const char* name, long* out) {
        if (!out) return ReportNullPointer(kClass);
        HRESULT hr = RequireSource();
        vantrel::RegKey key;
        if (SUCCEEDED(hr)) hr = OpenKey(false, &key);
        if (FAILED(hr)) return hr;
        DWORD value = 0, size = sizeof value;
        LONG rc = ::RegQueryValueExA(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        if (rc == ERROR_FILE_NOT_FOUND) value = 0;
        else if (rc != ERROR_SUCCESS) return ReportWin32Error(kClass, rc, "Error querying event source registry value");
        *out = static_cast<long>(value);
        return S_OK;
    }

    HRESULT SetNumber(const char* name, long value) {
        HRESULT hr = RequireSource();
        if (FAILED(hr)) return hr;
        if (value == 0) return DeleteValue(name);
        vantrel::RegKey key;
        hr = OpenKey(true, &key);
        if (FAILED(hr)) return hr;
        DWORD v = static_cast<DWORD>(value);
        LONG rc = ::RegSetValueExA(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
        return rc == ERROR_SUCCESS ? S_OK : ReportWin32Error(kClass, rc, "Error setting event source registry value");
    }

    HRESULT DeleteValue(const char* name) {
        vantrel::RegKey key;
        HRESULT hr = OpenKey(true, &key);
        if (FAILED(hr)) return hr;
        LONG rc = ::RegDeleteValueA(key.get(), name);
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
            return ReportWin32Error(kClass, rc, "Error deleting event source registry value");
        key.reset();
        return DeleteIfEmpty();
    }

    // The source's key goes with its last value.
    // Opening the key and asking for its counts are one step: a failure of either is
    // reported as the query.
    HRESULT DeleteIfEmpty() {
        vantrel::RegKey key;
        LONG rc = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath().c_str(), 0, KEY_QUERY_VALUE, key.put());
        DWORD subkeys = 0, values = 0;
        if (rc == ERROR_SUCCESS)
            rc = ::RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                    nullptr, nullptr, nullptr);
        key.reset();
        if (rc != ERROR_SUCCESS) return ReportWin32Error(kClass, rc, "Error querying event source registry key");
        if (subkeys != 0 || values != 0) return S_OK;
        vantrel::RegKey application;
        rc = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApplicationKey, 0, KEY_SET_VALUE, application.put());
        if (rc != ERROR_SUCCESS) return ReportWin32Error(kClass, rc, "Error opening event log registry key");
        rc = ::RegDeleteKeyA(application.get(), vantrel::AnsiFromWide(source_name_).c_str());
        if (rc != ERROR_SUCCESS) return ReportWin32Error(kClass, rc, "Error deleting event source registry key");
        return S_OK;
    }

    std::wstring source_name_;
};

}  // namespace

HRESULT CreateEventSourceConfiguration(REFIID riid, void** ppv) {
    return vantrel::com::CreateObject<EventSourceConfiguration>(riid, ppv);
}

}  // namespace lorvex
