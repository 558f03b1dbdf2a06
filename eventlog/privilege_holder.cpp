#include "privilege_holder.h"

#include <mutex>
#include <vector>

#include "platform/winapi/handles.h"

namespace lorvex {
namespace {

// One privilege as every holder of this process shares it.
struct Shared {
    LUID luid;
    unsigned holders;
    std::vector<BYTE> before;  // TOKEN_PRIVILEGES from before the first holder enabled it
};

struct Process {
    std::mutex lock;
    std::vector<Shared> privileges;

    Shared* Find(const LUID& luid) {
        for (Shared& p : privileges)
            if (p.luid.LowPart == luid.LowPart && p.luid.HighPart == luid.HighPart) return &p;
        return nullptr;
    }
};

Process& TheProcess() {
    static Process process;
    return process;
}

DWORD OpenToken(vantrel::Handle* token) {
    return ::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token->put())
               ? 0
               : ::GetLastError();
}

// Enables the privilege and gives the state it had before.
DWORD EnableInToken(const LUID& luid, std::vector<BYTE>* before) {
    vantrel::Handle token;
    if (DWORD error = OpenToken(&token)) return error;
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Luid = luid;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    std::vector<BYTE> previous(16);
    DWORD size = 0;
    if (!::AdjustTokenPrivileges(token.get(), FALSE, &wanted, static_cast<DWORD>(previous.size()),
                                 reinterpret_cast<TOKEN_PRIVILEGES*>(previous.data()), &size)) {
        previous.assign(size, 0);
        if (!::AdjustTokenPrivileges(token.get(), FALSE, &wanted, size,
                                     reinterpret_cast<TOKEN_PRIVILEGES*>(previous.data()), &size))
            return ::GetLastError();
    }
    *before = std::move(previous);
    return 0;
}

void PutBack(std::vector<BYTE>& before) {
    vantrel::Handle token;
    if (before.empty() || OpenToken(&token) != 0) return;
    ::AdjustTokenPrivileges(token.get(), FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(before.data()), 0, nullptr,
                            nullptr);
}

}  // namespace

DWORD PrivilegeHolder::Enable(const char* privilege) {
    if (holding_) return 0;
    LUID luid{};
    if (!::LookupPrivilegeValueA(nullptr, privilege, &luid)) return ::GetLastError();

    Process& process = TheProcess();
    std::lock_guard<std::mutex> hold(process.lock);
    Shared* shared = process.Find(luid);
    if (!shared) {
        process.privileges.push_back(Shared{luid, 0, {}});
        shared = &process.privileges.back();
    }
    if (shared->holders == 0) {
        if (DWORD error = EnableInToken(luid, &shared->before)) return error;
    }
    ++shared->holders;
    held_ = luid;
    holding_ = true;
    return 0;
}

void PrivilegeHolder::Restore() {
    if (!holding_) return;
    holding_ = false;
    Process& process = TheProcess();
    std::lock_guard<std::mutex> hold(process.lock);
    Shared* shared = process.Find(held_);
    if (!shared || shared->holders == 0 || --shared->holders != 0) return;
    PutBack(shared->before);
    shared->before.clear();
}

}  // namespace lorvex
