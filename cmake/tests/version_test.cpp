// Every deliverable carries its version resource: the error trap reports a program's
// version from it, and administrators read it in the file's properties.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

struct Version {
    bool found = false;
    std::string number;         // major.minor.revision, as the error trap shows it
    std::string original_name;  // OriginalFilename
    bool self_register = false;  // OLESelfRegister present
};

Version ReadVersion(const std::string& path) {
    Version v;
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return v;
    std::vector<char> data(size);
    if (!::GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return v;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (!::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &len) || len < sizeof *info) return v;
    v.found = true;
    v.number = std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) +
               "." + std::to_string(HIWORD(info->dwFileVersionLS));
    char* text = nullptr;
    if (::VerQueryValueA(data.data(), "\\StringFileInfo\\040904B0\\OriginalFilename", reinterpret_cast<void**>(&text),
                         &len) &&
        text)
        v.original_name = text;
    v.self_register = ::VerQueryValueA(data.data(), "\\StringFileInfo\\040904B0\\OLESelfRegister",
                                       reinterpret_cast<void**>(&text), &len) != 0;
    return v;
}

TEST(Deliverables, EachCarriesItsNameAndVersion) {
    struct Expected {
        const char* file;
        const char* version;
        bool com_server;
    };
    const Expected deliverables[] = {
        {"Quenloc.exe", "1.0.0", false},      {"Tallisk.exe", "1.0.0", false},
        {"syslogsend.exe", "1.0.0", false},   {"Lorvex.dll", "1.8.0", true},
        {"Dovrin.dll", "1.0.0", true},        {"VelmSendmail.ocx", "1.0.0", true},
        {"Mirrolan.dll", "1.0.0", true},      {"svcit.ocx", "1.0.0", true},
        {"vteventlog.dll", "1.0.0", false},   {"vtadsi.dll", "1.0.0", true},
        {"VantrelDemo.dll", "1.0.0", false},
    };
    for (const auto& d : deliverables) {
        const Version v = ReadVersion(std::string(BIN_DIR) + "\\" + d.file);
        ASSERT_TRUE(v.found) << d.file;
        EXPECT_EQ(v.number, d.version) << d.file;
        EXPECT_EQ(v.original_name, d.file) << d.file;
        // regsvr32-style installers look for this value before they register a file.
        EXPECT_EQ(v.self_register, d.com_server) << d.file;
    }
}

// The two programs show an icon of their own (the first icon group stands for the file).
TEST(Deliverables, ProgramsCarryAnIcon) {
    for (const char* program : {"Quenloc.exe", "Tallisk.exe"}) {
        const std::string path = std::string(BIN_DIR) + "\\" + program;
        HMODULE module = ::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_TRUE(module) << program;
        EXPECT_TRUE(::FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14))) << program;  // RT_GROUP_ICON
        ::FreeLibrary(module);
    }
}

}  // namespace
