#include "system_report.h"

#include <cmath>
#include <cstdio>

namespace trap {
namespace {

const char* const kCrLf = "\r\n";

std::string Hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", v);
    return buf;
}

std::string CpuLine(const SystemFacts::Processor& p) {
    const char* name = "Unknown";
    switch (p.type) {
    case 386: name = "Intel 386"; break;
    case 486: name = "Intel 486"; break;
    case 586:
        if (p.level == 6) {
            const uint32_t r = p.revision & 0xFF00;
            name = (r == 0x0300 || r == 0x0400 || r == 0x0500) ? "Intel Pentium II" : "Intel Pentium Pro";
        } else {
            name = "Intel Pentium";
        }
        break;
    case 4000: name = "MIPS R4000"; break;
    case 21064: name = "DEC Alpha 21064"; break;
    default: break;
    }
    return std::string("   CPU.................") + name;
}

}  // namespace

std::string FormatThousands(uint64_t value, const std::string& separator) {
    if (value == 0) return "";
    std::string digits = std::to_string(value), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += separator;
        out += digits[i];
    }
    return out;
}

std::string FormatShortDecimal(double value, const std::string& decimal_sep) {
    if (!std::isfinite(value)) return "";
    const long long hundredths = std::llround(std::fabs(value) * 100.0);
    std::string out = value < 0 && hundredths ? "-" : "";
    if (hundredths / 100) out += std::to_string(hundredths / 100);
    const long long frac = hundredths % 100;
    if (frac) {
        char buf[8];
        std::snprintf(buf, sizeof buf, frac % 10 ? "%02lld" : "%lld", frac % 10 ? frac : frac / 10);
        out += decimal_sep + buf;
    }
    return out;
}

std::string FormatSystemReport(const SystemFacts& f, std::string& os_tag, const std::string& thousands_sep,
                               const std::string& decimal_sep,
                               const std::function<std::vector<ProcessFacts>()>& processes) {
    std::string r;
    auto line = [&](const std::string& t) { r += t + kCrLf; };

    if (f.computer_name) {
        std::string name = *f.computer_name;
        if (name.size() < kComputerNameField) name.resize(kComputerNameField, ' ');
        line("Application running on computer " + name);
    } else {
        line("Application");
    }
    line("   Title..............." + f.title);
    line("   Path................" + f.path);
    if (f.project_version) line("   Project Version....." + *f.project_version);
    line(f.ole_server ? "   OLE Server..........YES" : "   OLE Server..........NO");
    line(std::string("   Previous Instance...") + (f.previous_instance ? "True" : "False"));
    if (!f.in_development_host) {
        line("  EXE Name............" + f.exe_name);
        if (f.exe_time_stamp) line("  EXE Time Stamp......" + *f.exe_time_stamp);
        if (f.exe_size) {
            line("  EXE Size............" + FormatThousands(*f.exe_size, thousands_sep) + " bytes");
            line("");
        }
    }

    line("Operating System");
    if (f.version) {
        const auto& v = *f.version;
        std::string literal;
        if (v.platform == 0) {
            literal = "   Windows Version......Windows 3.x running Win32s";
            os_tag = "WIN32s";
        } else if (v.platform == 1 && v.minor == 0) {
            literal = "   Windows Version.....Windows 95, version ";
            os_tag = "WIN95";
        } else if (v.platform == 1 && v.minor == 10) {
            literal = "   Windows Version.....Windows 98, version ";
            os_tag = "WIN98";
        } else if (v.platform == 2) {
            literal = "   Windows Version.....Windows NT ";
            os_tag = "WINNT";
        }
        line(literal + " " + std::to_string(v.major) + "." + std::to_string(v.minor));
        if (os_tag == "WINNT") line("   Build..............." + std::to_string(v.build));
        const std::string sp = v.service_pack.substr(0, v.service_pack.find('\0'));
        line("   Service Pack........" + (sp.empty() ? std::string("<none installed>") : sp));
        line(std::string("   Debug Kernel........") + (f.debug_kernel ? "Yes" : "No"));
    }
    line("   Language............" + f.language);
    line("   Windows Directory..." + f.windows_directory);
    line("   Current Path........" + f.current_directory);
    line("");

    line("Memory Information");
    if (f.memory) {
        const auto& m = *f.memory;
        auto kb = [&](uint64_t bytes) { return FormatThousands(bytes / 1024, thousands_sep) + "K"; };
        line("   Total Physical......" + kb(m.total_physical));
        line(m.avail_physical > 0 ? "   Available Physical.." + kb(m.avail_physical)
                                  : std::string("   Available Physical..<none>"));
        line("   Virtual Memory......" + kb(m.total_virtual));
        line("   Available Virtual..." + kb(m.avail_virtual));
        if (m.total_physical > 0) {
            const double pct = static_cast<double>(m.avail_physical) / static_cast<double>(m.total_physical) * 100;
            line("   Pct Physical Free..." + FormatShortDecimal(pct, decimal_sep) + "%");
            line("");
        }
    }

    line("Processor");
    if (f.processor) {
        line(CpuLine(*f.processor));
        line("   Number of CPUs......" + std::to_string(f.processor->count));
    }

    line("Drives");
    if (f.drive_strings) {
        const std::string& d = *f.drive_strings;
        auto root_is = [&](size_t at, char letter) {
            return d.size() >= at + 3 && (d[at] == letter || d[at] == letter + ('a' - 'A')) && d[at + 1] == ':' &&
                   d[at + 2] == '\\';
        };
        const int floppies = (root_is(0, 'A') ? 1 : 0) + (root_is(4, 'B') ? 1 : 0);
        line("   Floppies............" + std::to_string(floppies));
        line("   Disks..............." + std::to_string(static_cast<long long>(d.size() / 4) - floppies));
        for (const auto& drive : f.drives) {
            const std::string head = std::string("   Drive ") + drive.letter + ":";
            switch (drive.type) {
            case 0: line(head + "...........Unknown   "); break;
            case 2: line(head + "...........Floppy    "); break;
            case 3:
                if (drive.free_bytes)
                    line(head + "...........Fixed     " +
                         FormatThousands(static_cast<uint64_t>(std::llround(*drive.free_bytes / 1000.0)),
                                         thousands_sep) +
                         " KB Free");
                break;
            case 4: line(head + "...........Network   "); break;
            case 5: line(head + "...........CD        "); break;
            default: break;
            }
        }
    }

    line("Printer");
    line("   Description........." + f.printer);
    line("Ports");
    line("   Serial Driver......." + f.serial_driver);
    for (int i = 0; i < 4; ++i) line("   Com" + std::to_string(i + 1) + "................" + f.com[i]);
    line("Network");
    line("   Driver.............." + f.network_driver);
    line("   Description........." + f.network_description);
    line("General Video Information");
    line("   Driver.............." + f.video_driver);
    line("   Description........." + f.video_description);
    // 2 to the 32nd at 32 bits per pixel needs 64 bits.
    if (f.bits_per_pixel && *f.bits_per_pixel < 64)
        line("   Colors.............." + std::to_string(uint64_t{1} << *f.bits_per_pixel));
    line("   Screen size........." + std::to_string(f.screen_width) + " X " + std::to_string(f.screen_height));
    line("Mouse");
    line(std::string("   Mouse Present.......") + (f.mouse_present ? "Yes" : "No"));
    line("   Driver.............." + f.mouse_driver);
    line("   Description........." + f.mouse_description);
    line("Keyboard");
    line("   Driver.............." + f.keyboard_driver);
    line("   Description........." + f.keyboard_description);
    line("");

    const bool list = os_tag == "WIN95" || os_tag == "WIN98" ||
                      (os_tag == "WINNT" && f.version && f.version->major == 5);
    if (list) {
        line(std::string(44, '/'));
        line("/// Processes Running Concurrently with  ///");
        line("/// " + f.title + " at Time of Error            ///");
        line(std::string(44, '/'));
        line("");
        if (processes) {
            for (const auto& p : processes()) {
                line("   Module Name........." + p.module_name.substr(0, p.module_name.find('\0')));
                line("   Process ID..........0x" + Hex(p.process_id));
                line("   Thread Count........" + std::to_string(p.threads));
                line("   Full Path..........." + p.full_path.substr(0, p.full_path.find('\0')));
                line("");
            }
        }
    }
    r += kCrLf;
    return r;
}

}  // namespace trap
