// The trap's platform over Win32.
#pragma once

#include <windows.h>

#include "core/trap_state.h"

namespace trap {

class WinPlatform : public TrapPlatform {
public:
    WinPlatform();
    uint32_t TickMs() override;
    void PumpMessages() override;
    void SetErrorMode() override;
    void RaiseTimerResolution() override;
    bool GlobalMemory(MemoryStatus& out) override;
    StampTime Now() override;
    std::string LocaleDecimalSeparator() override;
    std::string ProfileDecimalSeparator() override;
    std::string ProgramFolder() override;
    ProgramIdentity Program() override;
    bool FileExists(const std::string& path) override;
    std::unique_ptr<ProfileSource> OpenProfile(const std::string& path) override;
    std::string HostModuleName() override;
    uintptr_t FindRemoteViewer() override;
    void SendToViewer(uintptr_t viewer, const std::string& line) override;
    void UnbalancedPopWarning(const std::string& text) override;
    void CircularLogOpenFailed(const std::string& path) override;
    void InternalError(int32_t number, const std::string& where) override;

    // Whether another instance of the program was running when this one started.
    bool PreviousInstance() const { return previous_instance_; }

private:
    bool previous_instance_ = false;
    bool timer_raised_ = false;
};

// The program's module path, its folder (no trailing "\") and its name without extension.
std::string ProgramPath();
std::string FolderOf(const std::string& path);
std::string NameWithoutExtension(const std::string& path);

// A profile value read with the system's private-profile reader.
std::string ReadProfile(const char* file, const char* section, const char* key, const char* fallback, DWORD size);

// Remote viewer: the first top-level window titled "Tesmore Hollin" or "Tesmore Hollin -...".
HWND FindRemoteViewerWindow();
bool IsRemoteViewerTitle(const std::string& title);
// Sends one trace line; an answer of 128 pauses the program until the viewer lets go.
void SendLineToViewer(HWND viewer, const std::string& line);

// The upper-case file name of the module that registered the error dialog's class.
std::string ErrorDialogHostModule();

}  // namespace trap
