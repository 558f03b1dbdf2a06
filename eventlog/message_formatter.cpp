#include "message_formatter.h"

#include <algorithm>
#include <new>

#include "core/message_expand.h"
#include "core/message_files.h"
#include "error_report.h"
#include "platform/winapi/com_barrier.h"
#include "platform/winapi/fault_guard.h"
#include "platform/winapi/handles.h"
#include "platform/winapi/subkey_watch.h"

namespace lorvex {
namespace {

constexpr char kEventLogKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog";
// A parameter message may name others; a chain this deep is a loop, not a message.
constexpr int kMaxParameterDepth = 16;

class ParametersOf : public ParameterSource {
public:
    ParametersOf(MessageFormatter& f, const std::string& remote, const std::string& source, int depth)
        : f_(f), remote_(remote), source_(source), depth_(depth) {}
    int32_t Lookup(uint32_t number, std::string* text) override {
        return f_.Format(remote_, source_, "ParameterMessageFile", number, {}, depth_ + 1, text);
    }

private:
    MessageFormatter& f_;
    const std::string& remote_;
    const std::string& source_;
    int depth_;
};

}  // namespace

// Runs a step that allocates; running out of memory gives its text with E_OUTOFMEMORY.
template <class Step>
HRESULT Allocating(REFCLSID clsid, const char* text, Step step) {
    try {
        if (vantrel::com::AllocationFailsForTest(text)) throw std::bad_alloc();
        return step();
    } catch (const std::bad_alloc&) {
        return ReportError(clsid, E_OUTOFMEMORY, text);
    }
}

bool IsRemoteComputer(const std::string& computer) {
    if (computer.empty()) return false;
    char local[16];
    DWORD size = sizeof local;
    if (!::GetComputerNameA(local, &size)) return true;
    return computer != std::string(local, size);
}

HRESULT MessageFormatter::FormatCategory(long order, const std::string& computer, const std::string& source,
                                         uint32_t category, std::string* text) {
    return Search(order, computer, source, "CategoryMessageFile", category, {}, text);
}

HRESULT MessageFormatter::FormatEvent(long order, const std::string& computer, const std::string& source,
                                      uint32_t event_id, const std::vector<std::string>& strings, std::string* text) {
    return Search(order, computer, source, "EventMessageFile", event_id, strings, text);
}

HRESULT MessageFormatter::Search(long order, const std::string& computer, const std::string& source,
                                 const char* value_name, uint32_t number, const std::vector<std::string>& strings,
                                 std::string* text) {
    const std::string record_side = IsRemoteComputer(computer) ? computer : std::string();
    const std::string local;
    switch (order) {
    case 0:
        return Format(local, source, value_name, number, strings, 0, text);
    case 1: {
        HRESULT hr = Format(local, source, value_name, number, strings, 0, text);
        if (FAILED(hr) && !record_side.empty()) hr = Format(record_side, source, value_name, number, strings, 0, text);
        return hr;
    }
    case 2: {
        HRESULT hr = Format(record_side, source, value_name, number, strings, 0, text);
        if (FAILED(hr) && !record_side.empty()) hr = Format(local, source, value_name, number, strings, 0, text);
        return hr;
    }
    case 3:
        return Format(record_side, source, value_name, number, strings, 0, text);
    default:
        return E_FAIL;
    }
}

HRESULT MessageFormatter::Format(const std::string& remote, const std::string& source, const char* value_name,
                                 uint32_t number, const std::vector<std::string>& strings, int depth,
                                 std::string* text) {
    if (depth > kMaxParameterDepth) return ReportError(clsid_, E_FAIL, "Parameter messages nested too deeply");
    std::vector<std::string> paths;
    HRESULT hr = ReadFileList(remote, source, value_name, &paths);
    if (FAILED(hr)) return hr;
    std::string raw;
    hr = FormatFromFiles(paths, number, &raw);
    if (FAILED(hr)) return hr;

    ParametersOf params(*this, remote, source, depth);
    std::vector<std::string> expanded;
    hr = Allocating(clsid_, "Failed to allocate memory for updated insertion strings", [&] {
        expanded = strings;
        return S_OK;
    });
    if (FAILED(hr)) return hr;
    for (std::string& s : expanded) {
        // An insertion string whose expanded copy cannot be had is used as it stands.
        try {
            if (vantrel::com::AllocationFailsForTest("expanded insertion string")) throw std::bad_alloc();
            s = std::move(ExpandInsertionStrings({s}, params).front());
        } catch (const std::bad_alloc&) {
        }
    }
    ExpandResult result;
    hr = Allocating(clsid_, "Failed to allocate memory for formatted message", [&] {
        result = ExpandMessage(raw, expanded, params);
        return S_OK;
    });
    if (FAILED(hr)) return hr;
    if (result.status != kStatusOk) {
        return result.error_text ? ReportError(clsid_, static_cast<HRESULT>(result.status), result.error_text)
                                 : static_cast<HRESULT>(result.status);
    }
    *text = std::move(result.text);
    return S_OK;
}

HRESULT MessageFormatter::ReadFileList(const std::string& remote, const std::string& source, const char* value_name,
                                       std::vector<std::string>* paths) {
    vantrel::RegKey remote_root;
    HKEY root = HKEY_LOCAL_MACHINE;
    if (!remote.empty()) {
        LONG rc = ::RegConnectRegistryA(remote.c_str(), HKEY_LOCAL_MACHINE, remote_root.put());
        if (rc != ERROR_SUCCESS)
            return ReportWin32Error(clsid_, rc, "Error connecting to remote event source registry key");
        root = remote_root.get();
    }
    vantrel::RegKey base;
    LONG rc = ::RegOpenKeyExA(root, kEventLogKey, 0, KEY_ENUMERATE_SUB_KEYS, base.put());
    if (rc != ERROR_SUCCESS) return ReportWin32Error(clsid_, rc, "Error opening event log base key");

    // The first log, in registry order, that has a subkey for the source holds it. A log that
    // another program adds or removes meanwhile can make the walk skip one.
    vantrel::RegKey source_key;
    vantrel::LookWhileSubkeysChange(base.get(), [&] {
        for (DWORD index = 0;; ++index) {
            char log[261];
            DWORD length = sizeof log;
            rc = ::RegEnumKeyExA(base.get(), index, log, &length, nullptr, nullptr, nullptr, nullptr);
            if (rc != ERROR_SUCCESS) return false;
            if (source.empty()) continue;  // the log's own key is no source
            const std::string path = std::string(log, length) + "\\" + source;
            if (path.size() > 263) continue;
            if (::RegOpenKeyExA(base.get(), path.c_str(), 0, KEY_QUERY_VALUE, source_key.put()) == ERROR_SUCCESS)
                return true;
        }
    });
    if (!source_key) {
        if (rc == ERROR_NO_MORE_ITEMS || rc == ERROR_SUCCESS)
            return ReportWin32Error(clsid_, ERROR_NO_MORE_ITEMS, "The event source isn't configured in the registry");
        return ReportWin32Error(clsid_, rc, "Error opening event log source key");
    }

    DWORD type = 0, size = 0;
    rc = ::RegQueryValueExA(source_key.get(), value_name, nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) return ReportWin32Error(clsid_, rc, "Error querying event source registry value");
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ReportError(clsid_, E_FAIL, "Unexpected event source registry value type");
    std::vector<char> buffer;
    if (!vantrel::com::TryResize(buffer, size + size_t(1), "message file registry value"))
        return ReportError(clsid_, E_OUTOFMEMORY, "Failed to allocate memory for message file names");
    rc = ::RegQueryValueExA(source_key.get(), value_name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (rc != ERROR_SUCCESS) return ReportWin32Error(clsid_, rc, "Error querying event source registry value");
    buffer.resize(std::min<size_t>(size, buffer.size()));
    std::string value;
    HRESULT hr = Allocating(clsid_, "Failed to allocate memory for message file names", [&] {
        value.assign(buffer.data(), std::find(buffer.begin(), buffer.end(), '\0') - buffer.begin());
        return S_OK;
    });
    if (FAILED(hr)) return hr;

    if (remote.empty()) {
        return Allocating(clsid_, "Failed to allocate memory for message file names", [&] {
            DWORD needed = ::ExpandEnvironmentStringsA(value.c_str(), nullptr, 0);
            std::string expanded(needed, '\0');
            if (needed == 0 || ::ExpandEnvironmentStringsA(value.c_str(), expanded.data(), needed) == 0)
                return ReportError(clsid_, E_FAIL, "Error expanding message file environment strings");
            expanded.resize(expanded.find('\0') == std::string::npos ? expanded.size() : expanded.find('\0'));
            *paths = SplitFileList(expanded);
            return S_OK;
        });
    }
    return Allocating(clsid_, "Failed to allocate memory for remote message file names", [&] {
        *paths = SplitFileList(value);
        for (auto& p : *paths) p = RemotePath(p, remote);
        return S_OK;
    });
}

HRESULT MessageFormatter::FormatFromFiles(const std::vector<std::string>& paths, uint32_t number, std::string* raw) {
    HRESULT hr = E_FAIL;
    for (const std::string& path : paths) {
        vantrel::Module module(::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (!module) {
            hr = ReportWin32Error(clsid_, ::GetLastError(), "Error loading message file");
            continue;
        }
        char* buffer = nullptr;
        DWORD length = 0, error = 0;
        auto format = [&] {
            length = ::FormatMessageA(0x0BFF, module.get(), number, 0x0400, reinterpret_cast<char*>(&buffer), 0,
                                      nullptr);
            error = ::GetLastError();
        };
        if (!vantrel::RunGuarded(format)) {
            if (buffer) ::LocalFree(buffer);
            hr = ReportError(clsid_, E_FAIL, "Exception formatting message - too few insert strings");
            continue;
        }
        vantrel::LocalMemory owner(buffer);
        if (length == 0 || !buffer) {
            hr = ReportWin32Error(clsid_, error, "Error formatting message");
            continue;
        }
        // The text is copied into the formatter's own memory.
        return Allocating(clsid_, "Failed to allocate memory for formatted message", [&] {
            raw->assign(buffer, length);
            return S_OK;
        });
    }
    return hr;
}

}  // namespace lorvex
