// Enables a privilege of the process token for as long as a reader needs it. The token
// belongs to the whole process, so the enabling is counted process-wide: the first holder
// enables the privilege and keeps the state from before, and the last holder to let go
// puts that state back, whatever the order in which holders let go. A privilege that was
// enabled before the first holder stays enabled.
#pragma once

#include <windows.h>

namespace lorvex {

class PrivilegeHolder {
public:
    PrivilegeHolder() = default;
    PrivilegeHolder(const PrivilegeHolder&) = delete;
    PrivilegeHolder& operator=(const PrivilegeHolder&) = delete;
    ~PrivilegeHolder() { Restore(); }

    // Returns the Windows code of a failure, 0 on success. Enabling again while this
    // holder holds the privilege changes nothing.
    DWORD Enable(const char* privilege);
    // Lets go of the privilege; nothing when this holder holds none.
    void Restore();

private:
    LUID held_{};
    bool holding_ = false;
};

}  // namespace lorvex
