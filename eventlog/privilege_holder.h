// Enables a privilege of the process token for as long as a reader needs it, and puts
// back the state from before the first enabling.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/winapi/handles.h"

namespace lorvex {

class PrivilegeHolder {
public:
    PrivilegeHolder() = default;
    PrivilegeHolder(const PrivilegeHolder&) = delete;
    PrivilegeHolder& operator=(const PrivilegeHolder&) = delete;
    ~PrivilegeHolder();

    // Returns the Windows code of a failure, 0 on success.
    DWORD Enable(const char* privilege);
    void Restore();

private:
    vantrel::Handle token_;
    std::vector<BYTE> saved_;  // TOKEN_PRIVILEGES from before the first enabling; empty when none
    bool restore_ = true;
};

}  // namespace lorvex
