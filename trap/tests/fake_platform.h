// A scripted platform for the trap's core: a settable clock, an ini text, and a record
// of what reached the remote viewer and the boxes.
#pragma once

#include <string>
#include <vector>

#include "core/trap_state.h"

namespace trap_test {

class FakePlatform : public trap::TrapPlatform {
public:
    uint32_t tick = 1000;
    uint32_t tick_step = 0;  // added after every read of the timer
    std::string folder = "C:\\Prog";
    bool ini_exists = true;
    std::string ini_text;
    trap::StampTime now{2026, 12, 9, 7, 5, 3};
    trap::MemoryStatus memory{45, 1234567};
    std::string locale_sep = ".";
    std::string profile_sep = "";
    uintptr_t viewer = 0;
    std::vector<std::string> viewer_lines;
    std::vector<std::string> warnings;
    std::vector<std::string> internal_errors;
    int pumps = 0;
    bool* pause_flag = nullptr;  // cleared by the first pump, as a dialog going away would

    uint32_t TickMs() override {
        const uint32_t t = tick;
        tick += tick_step;
        return t;
    }
    void PumpMessages() override {
        ++pumps;
        if (pause_flag) *pause_flag = false;
    }
    void SetErrorMode() override {}
    void RaiseTimerResolution() override {}
    bool GlobalMemory(trap::MemoryStatus& out) override {
        out = memory;
        return true;
    }
    trap::StampTime Now() override { return now; }
    std::string LocaleDecimalSeparator() override { return locale_sep; }
    std::string ProfileDecimalSeparator() override { return profile_sep; }
    std::string ProgramFolder() override { return folder; }
    trap::ProgramIdentity Program() override { return {folder, "Quenloc", 1, 2, 3}; }
    bool FileExists(const std::string&) override { return ini_exists; }
    std::unique_ptr<trap::ProfileSource> OpenProfile(const std::string&) override {
        return std::make_unique<trap::IniText>(ini_exists ? ini_text : std::string());
    }
    std::string HostModuleName() override { return "QUENLOC.EXE"; }
    uintptr_t FindRemoteViewer() override { return viewer; }
    void SendToViewer(uintptr_t, const std::string& line) override { viewer_lines.push_back(line); }
    void UnbalancedPopWarning(const std::string& text) override { warnings.push_back(text); }
    void CircularLogOpenFailed(const std::string& path) override { warnings.push_back(path); }
    void InternalError(int32_t number, const std::string& where) override {
        internal_errors.push_back(std::to_string(number) + " " + where);
    }
};

}  // namespace trap_test
