#include "resume_mark.h"

#include "core/settings_table.h"

#include <mutex>
#include <set>

namespace mirrolan {

namespace {

// The running program's file name, without its folder.
std::wstring ProgramName() {
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return L"unknown";
    std::wstring p(path, n);
    const size_t slash = p.find_last_of(L"\\/");
    return slash == std::wstring::npos ? p : p.substr(slash + 1);
}

// A value that is there but of another type or size is kept as unreadable, not as absent.
StoredValue<uint32_t> ReadDword(HKEY key, const wchar_t* name) {
    StoredValue<uint32_t> out;
    DWORD type = 0, value = 0, size = sizeof value;
    const LONG r = ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    if (r == ERROR_FILE_NOT_FOUND) return out;
    out.present = true;
    if (r == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value) out.value = value;
    return out;
}

StoredValue<std::wstring> ReadText(HKEY key, const wchar_t* name) {
    StoredValue<std::wstring> out;
    wchar_t text[512];
    DWORD type = 0, size = sizeof text;
    const LONG r = ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    if (r == ERROR_FILE_NOT_FOUND) return out;
    out.present = true;
    if (r != ERROR_SUCCESS || type != REG_SZ || size % sizeof(wchar_t)) return out;
    size_t n = size / sizeof(wchar_t);
    if (n && text[n - 1] == L'\0') --n;
    out.value.emplace(text, n);
    return out;
}

const std::wstring kLastRaised = vantrel::common::WideSettingText(
    vantrel::common::SettingName(vantrel::common::SettingId::ResumeLastRaised));
const std::wstring kLastEntry = vantrel::common::WideSettingText(
    vantrel::common::SettingName(vantrel::common::SettingId::ResumeLastEntry));
const std::wstring kClean =
    vantrel::common::WideSettingText(vantrel::common::SettingName(vantrel::common::SettingId::ResumeClean));

std::mutex g_lock;
std::set<std::wstring> g_in_use;  // logs whose place a live mark of this process holds

}  // namespace

ResumeMark::ResumeMark(const std::wstring& log_name) {
    // A log name could hold a backslash only by mistake; it must not reach another key.
    if (log_name.empty() || log_name.find(L'\\') != std::wstring::npos) return;
    std::wstring upper(log_name);
    ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    {
        std::lock_guard<std::mutex> guard(g_lock);
        if (!g_in_use.insert(upper).second) return;
    }
    in_use_ = std::move(upper);
    const std::wstring path =
        vantrel::common::WideSettingText(vantrel::common::kResumeKey) + L"\\" + ProgramName() + L"\\" + log_name;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                          key_.put(), nullptr) != ERROR_SUCCESS)
        key_.reset();
}

ResumeMark::~ResumeMark() {
    if (in_use_.empty()) return;
    std::lock_guard<std::mutex> guard(g_lock);
    g_in_use.erase(in_use_);
}

PreviousEnd ResumeMark::Previous() const {
    if (!key_) return {};
    StoredMark stored;
    stored.clean = ReadDword(key_.get(), kClean.c_str());
    stored.last_raised = ReadDword(key_.get(), kLastRaised.c_str());
    stored.last_entry = ReadText(key_.get(), kLastEntry.c_str());
    return ReadPreviousEnd(stored);
}

void ResumeMark::Save(const MarkedEntry& last, bool clean) {
    if (!key_) return;
    const DWORD number = last.number, mark = clean ? 1 : 0;
    // Marked not clean before the entry changes, and clean only after: an end between
    // the writes is taken for an unclean one.
    if (!clean && !unclean_) {
        ::RegSetValueExW(key_.get(), kClean.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mark), sizeof mark);
        unclean_ = true;
    }
    // The entry and its stamp go in one value, so that an end between two writes never
    // pairs one entry's number with another's stamp.
    const std::wstring entry = FormatEntry(last);
    ::RegSetValueExW(key_.get(), kLastEntry.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(entry.c_str()),
                     static_cast<DWORD>((entry.size() + 1) * sizeof(wchar_t)));
    ::RegSetValueExW(key_.get(), kLastRaised.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    if (clean) {
        ::RegSetValueExW(key_.get(), kClean.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mark), sizeof mark);
        unclean_ = false;
    }
}

}  // namespace mirrolan
