// EventLogConfiguration: the file, maximum size and retention of one log, read and
// written in the registry of this or another computer.
#include <windows.h>

#include <string>

#include "classes.h"
#include "core/retention.h"
#include "error_report.h"
#include "lorvex.h"
#include "platform/winapi/com_server.h"
#include "platform/winapi/handles.h"
#include "platform/winapi/oleauto.h"

namespace lorvex {
namespace {

const CLSID& kClass = CLSID_EventLogConfiguration;

std::wstring FromBstr(BSTR s) { return s ? std::wstring(s, ::SysStringLen(s)) : std::wstring(); }

class EventLogConfiguration final : public vantrel::com::Dual<IEventLogConfiguration> {
public:
    STDMETHODIMP get_ComputerName(BSTR* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return CopyOut(computer_name_, pVal); });
    }
    STDMETHODIMP put_ComputerName(BSTR newVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            computer_name_ = FromBstr(newVal);
            key_.reset();
            return S_OK;
        });
    }
    STDMETHODIMP get_SourceName(BSTR* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT { return CopyOut(source_name_, pVal); });
    }
    STDMETHODIMP put_SourceName(BSTR newVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            source_name_ = FromBstr(newVal);
            key_.reset();
            return S_OK;
        });
    }

    STDMETHODIMP get_FileName(BSTR* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!pVal) return ReportNullPointer(kClass);
            HRESULT hr = OpenKey();
            if (FAILED(hr)) return hr;
            char buffer[260];
            DWORD size = sizeof buffer;
            LONG rc = ::RegQueryValueExA(key_.get(), "File", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
            if (rc != ERROR_SUCCESS) return ReportWin32Error(kClass, rc, "Error reading file name");
            std::string text(buffer, size);
            text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
            file_name_ = vantrel::WideFromAnsi(text);
            return CopyOut(file_name_, pVal);
        });
    }
    STDMETHODIMP put_FileName(BSTR newVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            file_name_ = FromBstr(newVal);
            HRESULT hr = OpenKey();
            if (FAILED(hr)) return hr;
            std::string text = vantrel::AnsiFromWide(file_name_);
            LONG rc = ::RegSetValueExA(key_.get(), "File", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                       static_cast<DWORD>(text.size() + 1));
            return rc == ERROR_SUCCESS ? S_OK : ReportWin32Error(kClass, rc, "Error writing file name");
        });
    }

    STDMETHODIMP get_MaximumSize(long* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!pVal) return ReportNullPointer(kClass);
            DWORD value = 0;
            HRESULT hr = ReadDword("MaxSize", &value, "Error reading maximum size");
            if (FAILED(hr)) return hr;
            maximum_size_ = static_cast<long>(value);
            *pVal = maximum_size_;
            return S_OK;
        });
    }
    STDMETHODIMP put_MaximumSize(long newVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            maximum_size_ = newVal;
            return WriteDword("MaxSize", static_cast<DWORD>(newVal), "Error writing maximum size");
        });
    }

    STDMETHODIMP get_OverwriteMode(LORVEX_OVERWRITE_MODE* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!pVal) return ReportNullPointer(kClass);
            HRESULT hr = ReadRetention();
            if (FAILED(hr)) return hr;
            *pVal = static_cast<LORVEX_OVERWRITE_MODE>(overwrite_.mode);
            return S_OK;
        });
    }
    STDMETHODIMP put_OverwriteMode(LORVEX_OVERWRITE_MODE newVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            overwrite_.mode = newVal;
            return WriteRetention();
        });
    }
    STDMETHODIMP get_OverwritePeriod(long* pVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!pVal) return ReportNullPointer(kClass);
            HRESULT hr = ReadRetention();
            if (FAILED(hr)) return hr;
            *pVal = overwrite_.period;
            return S_OK;
        });
    }
    STDMETHODIMP put_OverwritePeriod(long newVal) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            overwrite_.period = newVal;
            return WriteRetention();
        });
    }

private:
    static HRESULT CopyOut(const std::wstring& s, BSTR* out) {
        if (!out) return ReportNullPointer(kClass);
        *out = ::SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT OpenKey() {
        if (key_) return S_OK;
        std::string computer = vantrel::AnsiFromWide(computer_name_);
        vantrel::RegKey root;
        LONG rc = ::RegConnectRegistryA(computer.empty() ? nullptr : computer.c_str(), HKEY_LOCAL_MACHINE, root.put());
        if (rc != ERROR_SUCCESS) return ReportWin32Error(kClass, rc, "Error connecting to remote registry");
        const std::string path =
            "SYSTEM\\CurrentControlSet\\Services\\EventLog\\" + vantrel::AnsiFromWide(source_name_);
        rc = path.size() > 259 ? ERROR_FILENAME_EXCED_RANGE
                               : ::RegOpenKeyExA(root.get(), path.c_str(), 0, MAXIMUM_ALLOWED, key_.put());
        return rc == ERROR_SUCCESS ? S_OK : ReportWin32Error(kClass, rc, "Error opening registry key");
    }

    HRESULT ReadDword(const char* name, DWORD* value, const char* failure) {
        HRESULT hr = OpenKey();
        if (FAILED(hr)) return hr;
        DWORD size = sizeof *value;
        LONG rc = ::RegQueryValueExA(key_.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
        return rc == ERROR_SUCCESS ? S_OK : ReportWin32Error(kClass, rc, failure);
    }

    HRESULT WriteDword(const char* name, DWORD value, const char* failure) {
        HRESULT hr = OpenKey();
        if (FAILED(hr)) return hr;
        LONG rc = ::RegSetValueExA(key_.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        return rc == ERROR_SUCCESS ? S_OK : ReportWin32Error(kClass, rc, failure);
    }

    HRESULT ReadRetention() {
        DWORD value = 0;
        HRESULT hr = ReadDword("Retention", &value, "Error reading retention");
        if (SUCCEEDED(hr)) overwrite_ = OverwriteFromRetention(value);
        return hr;
    }

    HRESULT WriteRetention() {
        return WriteDword("Retention", RetentionFromOverwrite(overwrite_), "Error writing retention");
    }

    std::wstring computer_name_;
    std::wstring source_name_;
    vantrel::RegKey key_;
    std::wstring file_name_;
    long maximum_size_ = 0;
    Overwrite overwrite_{0, 0};
};

}  // namespace

HRESULT CreateEventLogConfiguration(REFIID riid, void** ppv) {
    return vantrel::com::CreateObject<EventLogConfiguration>(riid, ppv);
}

}  // namespace lorvex
