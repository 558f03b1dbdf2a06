// Tells whether a registry key's subkeys changed while it was being read. Subkeys are listed
// by index, so one that another program adds or removes during the listing can make the
// listing skip a name that was there all along; a listing the watch did not fire for is whole.
#pragma once

#include <windows.h>

#include "platform/winapi/handles.h"

namespace vantrel {

class SubkeyWatch {
public:
    // `key` needs KEY_NOTIFY access through a new handle (KEY_READ includes it).
    explicit SubkeyWatch(HKEY key) : key_(key), fired_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

    // Starts a watch; the handle of the one before is closed first, which fires it.
    void Arm() {
        watched_.reset();
        armed_ = false;
        if (!fired_ || RegOpenKeyExW(key_, L"", 0, KEY_NOTIFY, watched_.put()) != ERROR_SUCCESS) return;
        ResetEvent(fired_.get());
        armed_ = RegNotifyChangeKeyValue(watched_.get(), FALSE, REG_NOTIFY_CHANGE_NAME, fired_.get(), TRUE) ==
                 ERROR_SUCCESS;
    }
    // A subkey came or went since Arm.
    bool Changed() const { return armed_ && WaitForSingleObject(fired_.get(), 0) == WAIT_OBJECT_0; }
    // Nothing came or went since Arm, as far as the watch can tell (it could not be set on a
    // remote key, for one).
    bool Whole() const { return armed_ && WaitForSingleObject(fired_.get(), 0) == WAIT_TIMEOUT; }

private:
    HKEY key_;
    Handle fired_;
    RegKey watched_;
    bool armed_ = false;
};

}  // namespace vantrel
