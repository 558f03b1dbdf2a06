#include <gtest/gtest.h>

#include "core/error_classes.h"
#include "core/raise.h"
#include "core/settings.h"
#include "core/trace.h"
#include "fake_platform.h"

namespace {

using trap::IniText;
using trap::TrapSettings;

TEST(IniText, ReadsLikeTheProfileReader) {
    IniText ini("[Log File]\r\nWrite To Disk = 1 \r\n; Log File=x\r\n[EMAIL]\r\naddress=ops@example.org\r\n"
                "[other]\r\nAddress=wrong\r\n");
    EXPECT_EQ(ini.Read("log file", "write to disk", "", 8), "1");
    EXPECT_EQ(ini.Read("email", "Address", "", 255), "ops@example.org");
    EXPECT_EQ(ini.Read("log file", "Log File", "error.log", 128), "error.log");  // commented out
    EXPECT_EQ(ini.Read("email", "Address", "", 5), "ops@");                       // size - 1 characters
    EXPECT_EQ(ini.Read("missing", "x", "default", 3), "de");
}

TEST(Settings, NumbersAndFlagsConvertAsTheReaderDoes) {
    EXPECT_EQ(trap::NumericValue("  12abc"), 12);
    EXPECT_EQ(trap::NumericValue("-3"), -3);
    EXPECT_EQ(trap::NumericValue("x1"), 0);
    int16_t v = 0;
    EXPECT_TRUE(trap::ToInt16("32767", v));
    EXPECT_EQ(v, 32767);
    EXPECT_FALSE(trap::ToInt16("32768", v));
    EXPECT_FALSE(trap::ToInt16("12x", v));
    EXPECT_TRUE(trap::ToInt16("2.5", v));
    EXPECT_EQ(v, 2);  // half to even

    TrapSettings s;
    IniText ini("[preferences]\nSilent Run=2\nDisplay Mode=1\n[include]\nResources=0\nMemory=15\n");
    trap::ReadIniSettings(ini, "C:\\Prog", s);
    EXPECT_EQ(s.silent_run, -2);  // "2" still shows the dialog: only -1 silences it
    EXPECT_EQ(s.display_mode, -1);
    EXPECT_EQ(s.include_resources, 0);
    EXPECT_EQ(s.include_memory, -1);  // one character counts
    EXPECT_EQ(s.include_arguments, -1);
    EXPECT_FALSE(s.write_to_disk);
    EXPECT_EQ(s.log_file_path, "");
}

TEST(Settings, LogFileIsPlacedInTheProgramsFolderUnlessItHasAFolder) {
    TrapSettings a, b, c;
    IniText bare("[log file]\nWrite To Disk=1\nLog File=trap.log\n");
    IniText none("[log file]\nWrite To Disk=1\n");
    IniText full("[log file]\nWrite To Disk=3\nLog File=D:\\logs\\t.log\n");
    trap::ReadIniSettings(bare, "C:\\Prog", a);
    trap::ReadIniSettings(none, "C:\\Prog", b);
    trap::ReadIniSettings(full, "C:\\Prog", c);
    EXPECT_EQ(a.log_file_path, "C:\\Prog\\trap.log");
    EXPECT_EQ(b.log_file_path, "C:\\Prog\\error.log");
    EXPECT_EQ(c.log_file_path, "D:\\logs\\t.log");
}

TEST(Settings, CircularLogKeysAndBadSizes) {
    TrapSettings s;
    IniText on("[Log File]\nCircularLog=1\n[CircularLog]\nFileName=c.log\nMaxRecords=40000\n");
    trap::ReadCircularSettings(on, "C:\\Prog", s);
    EXPECT_TRUE(s.circular_log_on);
    EXPECT_EQ(s.circular_log_path, "C:\\Prog\\c.log");
    EXPECT_EQ(s.record_size, 1024);
    EXPECT_EQ(s.max_records, 0);  // above 32767: not converted, stays 0

    TrapSettings n;
    IniText negative("[Log File]\nCircularLog=10\n[CircularLog]\nRecordSize=-5\n");
    trap::ReadCircularSettings(negative, "C:\\Prog", n);
    EXPECT_EQ(n.record_size, 0);
    EXPECT_EQ(n.max_records, 10);

    TrapSettings off;
    IniText none("");
    trap::ReadCircularSettings(none, "C:\\Prog", off);
    EXPECT_FALSE(off.circular_log_on);
    EXPECT_EQ(off.circular_log_path, "C:\\Prog\\circ0001.log");
}

TEST(LoadSettings, NoIniFileLeavesEverythingOffIncludingTheIncludeFlags) {
    trap_test::FakePlatform p;
    p.ini_exists = false;
    trap::TrapState s;
    trap::LoadSettings(s, p);
    EXPECT_TRUE(s.settings_loaded);
    EXPECT_EQ(s.settings.include_arguments, 0);
    EXPECT_EQ(s.settings.include_user, 0);
    EXPECT_FALSE(s.settings.circular_log_on);
    EXPECT_EQ(s.exe_prefix, "[Quenloc] ");
    EXPECT_EQ(s.project_name, "Quenloc");
    EXPECT_EQ(s.host_module_name, "QUENLOC.EXE");
    EXPECT_FALSE(s.in_development_host);
    ASSERT_EQ(s.call_stack.size(), 1001u);
    EXPECT_EQ(s.call_stack[0], "Hollin(tm) : Program START <12-09-2026, 07:05:03>");
    EXPECT_EQ(s.level_time[0], 1000 * trap::kCurrencyScale);

    // An ini file without an "include" section turns all four flags on.
    trap_test::FakePlatform q;
    q.ini_text = "[preferences]\nSilent Run=1\n";
    trap::TrapState t;
    trap::LoadSettings(t, q);
    EXPECT_EQ(t.settings.silent_run, -1);
    EXPECT_EQ(t.settings.include_resources, -1);
    EXPECT_EQ(t.settings.include_memory, -1);
    EXPECT_EQ(t.settings.include_arguments, -1);
    EXPECT_EQ(t.settings.include_user, -1);

    // A second load does nothing.
    t.settings.silent_run = 0;
    trap::LoadSettings(t, q);
    EXPECT_EQ(t.settings.silent_run, 0);
}

TEST(ErrorClasses, CategoriesAndStandardTexts) {
    EXPECT_EQ(trap::ErrorCategoryText(trap::ErrorClassOf(440)), "Object Linking and Embedding");
    EXPECT_EQ(trap::ErrorCategoryText(trap::ErrorClassOf(70)), "Network ");
    EXPECT_EQ(trap::ErrorCategoryText(trap::ErrorClassOf(0)), "User defined ");
    EXPECT_EQ(trap::ErrorCategoryText(trap::ErrorClassOf(-2147221504 + 513)), "Remote OLE Automation");
    EXPECT_EQ(trap::ErrorClassOf(3465), 63);
    EXPECT_EQ(trap::ErrorClassOf(3464), 15);
    EXPECT_EQ(trap::ErrorClassOf(32767), 14);
    EXPECT_EQ(trap::ErrorCategoryText(56), "Object");
    EXPECT_EQ(trap::ErrorCategoryText(1), "Unknown Error Class");
    EXPECT_EQ(trap::StandardMessage(53).text, "File not found");
    EXPECT_EQ(trap::StandardMessage(53).help_file, "hollin.hlp");
    EXPECT_EQ(trap::StandardMessage(53).help_context, 53);
    // Every category has a fallback text for numbers without a text of their own.
    for (int16_t code : {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 45, 46, 47, 54, 56, 57, 59, 60, 62, 63,
                         64, 65, 66})
        EXPECT_NE(trap::ErrorCategoryText(code), "Unknown Error Class") << code;
    EXPECT_EQ(trap::StandardMessage(3300).text, "Data access error");
    EXPECT_EQ(trap::StandardMessage(-5).text, "Automation error");
    EXPECT_EQ(trap::StandardMessage(1234).text, "Application-defined or object-defined error");
}

TEST(RunTimeError, StandardExceptionsBecomeRunTimeNumbers) {
    auto convert = [](auto thrower) {
        try {
            thrower();
        } catch (...) {
            return trap::CurrentRunTimeError();
        }
        return trap::RunTimeError();
    };
    EXPECT_EQ(convert([] { trap::Raise(53); }).description, "File not found");
    EXPECT_EQ(convert([] { throw std::bad_alloc(); }).number, 7);
    EXPECT_EQ(convert([] { throw std::out_of_range("x"); }).number, 9);
    EXPECT_EQ(convert([] { throw 42; }).number, 51);
}

}  // namespace
