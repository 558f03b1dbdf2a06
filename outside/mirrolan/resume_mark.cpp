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

bool ReadDword(HKEY key, const wchar_t* name, DWORD& out) {
    DWORD type = 0, size = sizeof out;
    return ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&out), &size) == ERROR_SUCCESS &&
           type == REG_DWORD && size == sizeof out;
}

const std::wstring kLastRaised = vantrel::common::WideSettingText(
    vantrel::common::SettingName(vantrel::common::SettingId::ResumeLastRaised));
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

std::optional<uint32_t> ResumeMark::UncleanEnd() const {
    DWORD last = 0, clean = 1;
    if (!key_ || !ReadDword(key_.get(), kLastRaised.c_str(), last) || !ReadDword(key_.get(), kClean.c_str(), clean) ||
        clean)
        return std::nullopt;
    return last;
}

void ResumeMark::Save(uint32_t last, bool clean) {
    if (!key_) return;
    const DWORD value = last, mark = clean ? 1 : 0;
    // Marked not clean before the number changes, and clean only after: an end between
    // the two writes is taken for an unclean one.
    if (!clean && !unclean_) {
        ::RegSetValueExW(key_.get(), kClean.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mark), sizeof mark);
        unclean_ = true;
    }
    ::RegSetValueExW(key_.get(), kLastRaised.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    if (clean) {
        ::RegSetValueExW(key_.get(), kClean.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mark), sizeof mark);
        unclean_ = false;
    }
}

}  // namespace mirrolan
