// Lists of a registry key's subkeys that other programs may change meanwhile. Subkeys are
// listed by index, so one that is added or removed during a listing can make it skip a name
// that was there all along; a listing during which no subkey came or went is whole.
#pragma once

#include <windows.h>

#include "platform/winapi/handles.h"

namespace vantrel {

// Tells whether any subkey of a key came or went since it was armed.
class SubkeyWatch {
public:
    // `key` needs KEY_NOTIFY access through a new handle (KEY_READ includes it).
    explicit SubkeyWatch(HKEY key) : key_(key), fired_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

    // Starts a watch; the handle of the one before is closed first, which fires it. False when
    // no watch can be set (on a remote key, for one).
    bool Arm() {
        watched_.reset();
        if (!fired_ || RegOpenKeyExW(key_, L"", 0, KEY_NOTIFY, watched_.put()) != ERROR_SUCCESS) return false;
        ResetEvent(fired_.get());
        return RegNotifyChangeKeyValue(watched_.get(), FALSE, REG_NOTIFY_CHANGE_NAME, fired_.get(), TRUE) ==
               ERROR_SUCCESS;
    }
    bool Changed() const { return WaitForSingleObject(fired_.get(), 0) == WAIT_OBJECT_0; }

private:
    HKEY key_;
    Handle fired_;
    RegKey watched_;
};

// Runs `look` (which lists the subkeys of `key` and returns true when it found what it was
// after) until it finds it, or until a look that no subkey change disturbed did not. A first
// look that finds it needs no watch; after that, each disturbed look is followed by another,
// a moment later so as not to stay in step with a program changing the keys as fast as we
// read them.
template <class Look>
bool LookWhileSubkeysChange(HKEY key, Look&& look) {
    constexpr int kMostLooks = 64;
    if (look()) return true;
    SubkeyWatch watch(key);
    for (int i = 0; i < kMostLooks; ++i) {
        if (!watch.Arm()) return look();
        if (look()) return true;
        if (!watch.Changed()) return false;
        Sleep(1);
    }
    return false;
}

}  // namespace vantrel
