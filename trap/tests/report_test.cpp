#include <gtest/gtest.h>

#include "core/error_log.h"
#include "core/mail_report.h"
#include "core/system_report.h"

namespace {

const std::string Z(14, ' ');
const trap::StampTime kStart{2026, 12, 9, 7, 5, 3};
const trap::StampTime kStop{2026, 12, 9, 7, 5, 4};

std::string Lines(std::initializer_list<std::string> lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\r\n";
    return out;
}

// One error in the procedure of level 3 of the service's usual start.
trap::TrapState ErrorAtDepthThree() {
    trap::TrapState s;
    s.program = {"C:\\Prog", "Quenloc", 1, 2, 3};
    s.level_flag.assign(1001, 0);
    auto& r = s.error_record[0];
    r.category = "File System (disk, directory or file) access error";
    r.source = "Quenloc (local)";
    r.module = "MainForm";
    r.procedure = "Sub LoadSettings";
    r.number = 53;
    r.description = "File not found";
    s.call_tree[0] = " 3";
    s.call_tree[1] = " 1 : modVantrel : Sub Main : ";
    s.call_tree[2] = " 2 : \tMainForm : Sub SvcIt1_Start : ";
    s.call_tree[3] = " 3 : \t\tMainForm : Sub LoadSettings : ";
    return s;
}

std::string Head(const trap::ErrorSlot& r, const std::string& code_pointer_line = "") {
    std::string out = Lines({"\t*Error 1", Z + "Category " + r.category, Z + "Source " + r.source,
                             Z + "Module " + r.module, Z + "Procedure " + r.procedure,
                             Z + "Line Number " + std::to_string(r.line), Z + "Error No. " + std::to_string(r.number),
                             Z + "Description " + r.description});
    if (!code_pointer_line.empty()) out += code_pointer_line + "\r\n";
    return out + "\r\n";
}

TEST(ErrorLog, DepthThreeWithTheErrorInTheTopProcedure) {
    const trap::TrapState s = ErrorAtDepthThree();
    const std::string expected =
        Lines({"12-09-2026 07:05:03 - start Hollin client v1.0 data capture", std::string(65, '*'),
               "C:\\Prog\\Quenloc ver 1.2.3", "Error Information"}) +
        Head(s.error_record[0]) +
        Lines({"", "Call Tree & Arguments",
               Z + " 1 : Call\tmodVantrel : Sub Main :",
               Z + " 2 : Call\t\tMainForm : Sub SvcIt1_Start :",
               Z + " 3 : Call\t\t\tMainForm : Sub LoadSettings :",
               Z + " 4 : Trap\t\t\t\tRuntime error 53, File not found",
               Z + " 5 : Error\t\t\t\tRuntime error 53, File not found",
               "", "User Said", Z,  // an empty comment leaves the zone's blanks
               "12-09-2026 07:05:04 - stop Hollin client v1.0 data capture"});
    EXPECT_EQ(trap::FormatErrorLog(s, kStart, kStop), expected);
}

TEST(ErrorLog, NoMatchingEntryEndsWithTheErrorLine) {
    trap::TrapState s = ErrorAtDepthThree();
    s.error_record[0].module = "ENCRYPTION << MainForm";
    s.error_record[0].procedure = "Function Decrypt << Sub LoadSettings";
    s.call_tree[0] = " 2";
    s.user_comment = "starting the service";
    const std::string log = trap::FormatErrorLog(s, kStart, kStop);
    const std::string tree = Lines({"Call Tree & Arguments",
                                    Z + " 1 : Call\tmodVantrel : Sub Main :",
                                    Z + " 2 : Call\t\tMainForm : Sub SvcIt1_Start :",
                                    Z + " 3 : Error\t\tRuntime error 53, File not found",
                                    "", "User Said", Z + "starting the service"});
    EXPECT_NE(log.find(tree), std::string::npos) << log;
}

TEST(ErrorLog, CodePointerRemoteHopsAndTheSystemReport) {
    trap::TrapState s = ErrorAtDepthThree();
    auto& r0 = s.error_record[0];
    r0.module = "MainForm";
    r0.procedure = "Sub Main";
    r0.number = 440;
    r0.description = "Automation error";
    r0.source = "Quenloc (local) << A (remote)";
    auto& r1 = s.error_record[1];
    r1 = {"A (remote)", "M1", "P1", 10, 5, "Invalid procedure call or argument", "Object Linking and Embedding", "", 0};
    s.hop_count = 1;
    s.error_level_flag = 7;
    s.level_flag[1] = 7;
    s.call_tree[0] = " 1";
    s.call_tree[1] = " 1 : MainForm : Sub Main : ";
    s.settings.display_mode = -1;
    s.system_report_text = "Application\r\n";
    const std::string log = trap::FormatErrorLog(s, kStart, kStop);
    EXPECT_NE(log.find(Z + "Description Automation error\r\n" + Z + "Code Pointer : 7\r\n\r\n\t*Error 2\r\n"),
              std::string::npos) << log;
    const std::string tree = Lines({"Call Tree & Arguments",
                                    Z + " 1 : Call\tMainForm : Sub Main :",
                                    Z + " 2 : Code\t\tCode Pointer = 7",
                                    Z + " 3 : Trap\t\t\tRuntime error 440, Automation error",
                                    Z + " 4 : Trap\t\t\t\tRuntime error 5, Invalid procedure call or argument on line 10",
                                    Z + " 5 : Error\t\tRuntime error 440, Automation error",
                                    Z + " 6 : Call\t\t\tA (remote) : M1 : P1",
                                    Z + " 7 : Error\t\t\tRuntime error 5, Invalid procedure call or argument on line 10",
                                    "", "System State Information", "Application\r\n", "User Said"});
    EXPECT_NE(log.find(tree), std::string::npos) << log;
}

TEST(ErrorLog, DepthZeroWritesNoTreeAndNoCodePointer) {
    trap::TrapState s = ErrorAtDepthThree();
    s.call_tree[0] = " 0";
    s.error_level_flag = 3;
    const std::string expected_middle =
        Head(s.error_record[0]) + Lines({"", "Call Tree & Arguments", "", "User Said"});
    EXPECT_NE(trap::FormatErrorLog(s, kStart, kStop).find(expected_middle), std::string::npos);
}

TEST(MailReport, FieldsFromRecordZero) {
    trap::TrapState s;
    s.program.name = "Quenloc";
    s.settings.email_address = "ops@example.org";
    s.error_record[0].number = 53;
    auto m = trap::BuildMailReport(s);
    EXPECT_EQ(m.subject, "Remote Error Report From Quenloc");
    EXPECT_EQ(m.note_text,
              "Tesmore Hollin reports error 53 () occured in Quenloc. The attached log file has complete details.");
    EXPECT_EQ(m.position, m.note_text.size() - 1);
    EXPECT_EQ(m.recipient_name, "ops@example.org");
    EXPECT_EQ(m.path_name, "!error!.log");
    EXPECT_EQ(m.file_name, "Hollinerror.log");
    EXPECT_EQ(m.message_type, "IPM.");
}

trap::SystemFacts XpFacts() {
    trap::SystemFacts f;
    f.computer_name = "SERVER1";
    f.title = "Quenloc";
    f.path = "C:\\Prog";
    f.project_version = "1.2.3";
    f.exe_name = "Quenloc";
    f.exe_time_stamp = "12/9/2026 7:05:03 AM";
    f.exe_size = 1234567;
    f.version = trap::SystemFacts::Version{2, 5, 1, 2600, std::string("Service Pack 3\0junk", 19)};
    f.language = "<Unknown>";
    f.windows_directory = "C:\\windows";
    f.current_directory = "C:\\Prog";
    f.memory = trap::SystemFacts::Memory{4294967296ull * 2, 1024ull * 1024 * 1024, 2147352576ull, 2000000000ull};
    f.processor = trap::SystemFacts::Processor{586, 6, 0x0801, 2};
    f.drive_strings = std::string("A:\\\0C:\\\0D:\\\0", 12);
    f.drives = {{'A', 2, {}}, {'B', 1, {}}, {'C', 3, 123456789}, {'D', 5, {}}, {'E', 3, 499}};
    f.printer = "<Unknown>";
    for (auto& c : f.com) c = "<Unknown>";
    f.bits_per_pixel = 32;
    f.screen_width = 1024;
    f.screen_height = 768;
    f.mouse_present = true;
    return f;
}

TEST(SystemReport, WholeReportOfAnXpMachine) {
    std::string tag;
    int listed = 0;
    const std::string report = trap::FormatSystemReport(XpFacts(), tag, ",", ".", [&] {
        ++listed;
        return std::vector<trap::ProcessFacts>{{"svchost.exe", 0x3A4, 12, "C:\\WINDOWS\\system32\\svchost.exe"}};
    });
    const std::string expected = Lines({
        "Application running on computer SERVER1        ",
        "   Title...............Quenloc",
        "   Path................C:\\Prog",
        "   Project Version.....1.2.3",
        "   OLE Server..........NO",
        "   Previous Instance...False",
        "  EXE Name............Quenloc",
        "  EXE Time Stamp......12/9/2026 7:05:03 AM",
        "  EXE Size............1,234,567 bytes",
        "",
        "Operating System",
        "   Windows Version.....Windows NT  5.1",
        "   Build...............2600",
        "   Service Pack........Service Pack 3",
        "   Debug Kernel........No",
        "   Language............<Unknown>",
        "   Windows Directory...C:\\windows",
        "   Current Path........C:\\Prog",
        "",
        "Memory Information",
        "   Total Physical......8,388,608K",
        "   Available Physical..1,048,576K",
        "   Virtual Memory......2,097,024K",
        "   Available Virtual...1,953,125K",
        "   Pct Physical Free...12.5%",
        "",
        "Processor",
        "   CPU.................Intel Pentium Pro",
        "   Number of CPUs......2",
        "Drives",
        "   Floppies............1",
        "   Disks...............2",
        "   Drive A:...........Floppy    ",
        "   Drive C:...........Fixed     123,457 KB Free",
        "   Drive D:...........CD        ",
        "   Drive E:...........Fixed      KB Free",
        "Printer",
        "   Description.........<Unknown>",
        "Ports",
        "   Serial Driver.......",
        "   Com1................<Unknown>",
        "   Com2................<Unknown>",
        "   Com3................<Unknown>",
        "   Com4................<Unknown>",
        "Network",
        "   Driver..............",
        "   Description.........",
        "General Video Information",
        "   Driver..............",
        "   Description.........",
        "   Colors..............4294967296",
        "   Screen size.........1024 X 768",
        "Mouse",
        "   Mouse Present.......Yes",
        "   Driver..............",
        "   Description.........",
        "Keyboard",
        "   Driver..............",
        "   Description.........",
        "",
        std::string(44, '/'),
        "/// Processes Running Concurrently with  ///",
        "/// Quenloc at Time of Error            ///",
        std::string(44, '/'),
        "",
        "   Module Name.........svchost.exe",
        "   Process ID..........0x3A4",
        "   Thread Count........12",
        "   Full Path...........C:\\WINDOWS\\system32\\svchost.exe",
        "",
        ""});
    EXPECT_EQ(report, expected);
    EXPECT_EQ(tag, "WINNT");
    EXPECT_EQ(listed, 1);
}

TEST(SystemReport, VersionsDecideBuildLineAndProcessList) {
    auto facts = XpFacts();
    facts.computer_name.reset();
    facts.in_development_host = true;
    facts.version = trap::SystemFacts::Version{1, 4, 90, 3000, ""};  // Windows Me
    std::string tag;
    int listed = 0;
    auto count = [&] {
        ++listed;
        return std::vector<trap::ProcessFacts>{};
    };
    std::string me = trap::FormatSystemReport(facts, tag, ",", ".", count);
    EXPECT_EQ(me.substr(0, 13), "Application\r\n");
    EXPECT_NE(me.find("   Previous Instance...False\r\nOperating System\r\n 4.90\r\n"
                      "   Service Pack........<none installed>\r\n"),
              std::string::npos) << me;
    EXPECT_EQ(me.find("Build"), std::string::npos);
    EXPECT_EQ(tag, "");
    EXPECT_EQ(listed, 0);

    facts.version = trap::SystemFacts::Version{2, 6, 1, 7601, "Service Pack 1"};  // what Wine reports
    std::string seven = trap::FormatSystemReport(facts, tag, ",", ".", count);
    EXPECT_EQ(tag, "WINNT");
    EXPECT_NE(seven.find("   Build...............7601\r\n"), std::string::npos);
    EXPECT_EQ(listed, 0);  // no process list on 6.x
    EXPECT_EQ(seven.substr(seven.size() - 7), ".\r\n\r\n\r\n");

    // Windows Me after an NT report keeps the tag: the build line comes back.
    facts.version = trap::SystemFacts::Version{1, 4, 90, 3000, ""};
    EXPECT_NE(trap::FormatSystemReport(facts, tag, ",", ".", count).find("   Build...............3000"),
              std::string::npos);
}

TEST(SystemReport, NumberPatterns) {
    EXPECT_EQ(trap::FormatThousands(0, ","), "");
    EXPECT_EQ(trap::FormatThousands(999, ","), "999");
    EXPECT_EQ(trap::FormatThousands(1000, "."), "1.000");
    EXPECT_EQ(trap::FormatShortDecimal(0.25, ","), ",25");
    EXPECT_EQ(trap::FormatShortDecimal(50, "."), "50");
    EXPECT_EQ(trap::FormatShortDecimal(12.054, "."), "12.05");
}

}  // namespace

namespace {

TEST(TextTable, EveryTextAndTheGaps) {
    const trap::StampTime t{2026, 1, 2, 3, 4, 5};
    const trap::ProgramIdentity program{"C:\\Prog", "Quenloc", 1, 0, 7};
    int texts = 0;
    for (int n = -1; n <= 70; ++n)
        if (!trap::HollinReportText(static_cast<int16_t>(n), t, program).empty()) ++texts;
    EXPECT_EQ(texts, 40);  // 1, 16 to 44, 48 to 53, 55, 58, 61 and 62
    for (int n : {2, 15, 45, 46, 47, 54, 56, 57, 59, 60, 63})
        EXPECT_EQ(trap::HollinReportText(static_cast<int16_t>(n)), "") << n;
    EXPECT_EQ(trap::HollinReportText(19), "Module    ");
    EXPECT_EQ(trap::HollinReportText(26), " has occured in module HOLLIN, proceure pfErr(), line ");
    EXPECT_EQ(trap::HollinReportText(20, t), "01-02-2026 03:04:05 - start Hollin client v1.0 data capture");
    EXPECT_EQ(trap::HollinReportText(31, t), "01-02-2026 03:04:05 - stop Hollin client v1.0 data capture");
    EXPECT_EQ(trap::HollinReportText(62, t, program), "C:\\Prog\\Quenloc ver 1.0.7");
}

}  // namespace
