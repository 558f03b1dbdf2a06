// The system-information report, formatted from facts the Windows shell gathers.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace trap {

// Every optional fact is a query that may fail: its line is then left out.
struct SystemFacts {
    std::optional<std::string> computer_name;
    std::string title;
    std::string path;
    std::optional<std::string> project_version;  // "major.minor.revision"
    bool ole_server = false;
    bool previous_instance = false;
    bool in_development_host = false;
    std::string exe_name;
    std::optional<std::string> exe_time_stamp;  // of the program's ".dll" file
    std::optional<uint64_t> exe_size;

    struct Version {
        uint32_t platform = 0, major = 0, minor = 0, build = 0;
        std::string service_pack;
    };
    std::optional<Version> version;
    bool debug_kernel = false;
    std::string language;
    std::string windows_directory;
    std::string current_directory;

    struct Memory {
        uint64_t total_physical = 0, avail_physical = 0, total_virtual = 0, avail_virtual = 0;
    };
    std::optional<Memory> memory;

    struct Processor {
        uint32_t type = 0, level = 0, revision = 0, count = 0;
    };
    std::optional<Processor> processor;

    std::optional<std::string> drive_strings;  // as the system returned them, NULs included
    struct Drive {
        char letter = 'A';
        uint32_t type = 0;
        std::optional<uint64_t> free_bytes;  // fixed drives
    };
    std::vector<Drive> drives;  // A to Z

    std::string printer;
    std::string serial_driver;
    std::string com[4];
    std::string network_driver, network_description;
    std::string video_driver, video_description;
    std::optional<uint32_t> bits_per_pixel;
    int32_t screen_width = 0, screen_height = 0;
    bool mouse_present = false;
    std::string mouse_driver, mouse_description;
    std::string keyboard_driver, keyboard_description;
};

struct ProcessFacts {
    std::string module_name;
    uint32_t process_id = 0;
    uint32_t threads = 0;
    std::string full_path;
};

// Formats the report. `os_tag` is the operating-system tag kept between calls; the
// process list is asked for only when the tag and version call for it.
std::string FormatSystemReport(const SystemFacts& f, std::string& os_tag, const std::string& thousands_sep,
                               const std::string& decimal_sep,
                               const std::function<std::vector<ProcessFacts>()>& processes);

// "###,###,###": the locale's thousands separator, no leading zeros, 0 gives "".
std::string FormatThousands(uint64_t value, const std::string& separator);
// "##.##": at most two decimals and no leading zero.
std::string FormatShortDecimal(double value, const std::string& decimal_sep);
// The width of the heading's computer-name field.
constexpr size_t kComputerNameField = 15;

}  // namespace trap
