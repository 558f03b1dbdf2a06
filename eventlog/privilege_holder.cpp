#include "privilege_holder.h"

namespace lorvex {

PrivilegeHolder::~PrivilegeHolder() {
    if (restore_) Restore();
}

DWORD PrivilegeHolder::Enable(const char* privilege) {
    if (!token_ && !::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token_.put()))
        return ::GetLastError();
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::LookupPrivilegeValueA(nullptr, privilege, &wanted.Privileges[0].Luid)) return ::GetLastError();

    std::vector<BYTE> previous(16);
    DWORD size = 0;
    if (!::AdjustTokenPrivileges(token_.get(), FALSE, &wanted, static_cast<DWORD>(previous.size()),
                                 reinterpret_cast<TOKEN_PRIVILEGES*>(previous.data()), &size)) {
        previous.assign(size, 0);
        if (!::AdjustTokenPrivileges(token_.get(), FALSE, &wanted, size,
                                     reinterpret_cast<TOKEN_PRIVILEGES*>(previous.data()), &size))
            return ::GetLastError();
    }
    // Repeated enabling keeps the state from before the first.
    if (restore_ && saved_.empty()) saved_ = std::move(previous);
    return 0;
}

void PrivilegeHolder::Restore() {
    if (saved_.empty() || !token_) return;
    ::AdjustTokenPrivileges(token_.get(), FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(saved_.data()), 0, nullptr,
                            nullptr);
    saved_.clear();
}

}  // namespace lorvex
