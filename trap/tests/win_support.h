// Helpers for the trap's Windows tests: a fresh trap state and an ini file beside the
// test program for the length of one test.
#pragma once

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "hollin.h"
#include "win_platform.h"

namespace trap_test {

inline std::string ProgramFolder() { return trap::FolderOf(trap::ProgramPath()); }
inline std::string ProgramName() { return trap::NameWithoutExtension(trap::ProgramPath()); }

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Forgets everything the trap loaded, so that the next entry loads the settings again.
inline void ResetTrap() { trap::Globals() = trap::TrapState{}; }

// "Nalt.INI" beside the program with the given text (none when `text` is null), removed
// again at the end of the scope together with the files the test names.
class TrapIni {
public:
    explicit TrapIni(const char* text) {
        ResetTrap();
        DeleteFileA(path_.c_str());
        if (text) WriteFile(path_, text);
    }
    ~TrapIni() {
        ResetTrap();
        DeleteFileA(path_.c_str());
        for (const auto& f : cleanup_) DeleteFileA(f.c_str());
    }
    // A file in the programs' folder, deleted now and at the end.
    std::string File(const std::string& name) {
        const std::string path = ProgramFolder() + "\\" + name;
        DeleteFileA(path.c_str());
        cleanup_.push_back(path);
        return path;
    }

private:
    std::string path_ = ProgramFolder() + "\\Nalt.INI";
    std::vector<std::string> cleanup_;
};

}  // namespace trap_test
