#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/trace.h"
#include "fake_platform.h"

namespace {

namespace fs = std::filesystem;
using trap_test::FakePlatform;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A loaded trap with every trace output off unless a test turns one on.
struct Loaded {
    FakePlatform p;
    trap::TrapState s;
    explicit Loaded(std::string ini = "[include]\nResources=0\nMemory=0\nUser=0\n") {
        p.ini_text = std::move(ini);
        trap::LoadSettings(s, p);
    }
};

TEST(CallStack, BalancedFramesStoreLevelsAndClearThemOnTheWayOut) {
    Loaded t;
    trap::Push(t.s, t.p, "MainForm", "Sub Main", "");
    trap::Push(t.s, t.p, "MainForm", "Sub LoadSettings", "");
    trap::Push(t.s, t.p, "RegFunctions", "Function GetKeyValue", "x");
    EXPECT_EQ(t.s.depth, 3);
    EXPECT_EQ(t.s.call_stack[1], " 1 : MainForm : Sub Main : ");
    EXPECT_EQ(t.s.call_stack[3], " 3 : \t\tRegFunctions : Function GetKeyValue : x");
    // No trace output: nothing written, the sequence stays 0, the stack is kept all the same.
    EXPECT_EQ(t.s.trace_sequence, 0);
    // A pop whose names are a substring of the top entry balances it.
    trap::Pop(t.s, t.p, "RegFunctions", "Function GetKey", "");
    EXPECT_EQ(t.s.depth, 2);
    EXPECT_EQ(t.s.call_stack[3], "");
    trap::Pop(t.s, t.p, "MainForm", "Sub LoadSettings", "");
    trap::Pop(t.s, t.p, "MainForm", "Sub Main", "");
    EXPECT_EQ(t.s.depth, 0);
    // More pops than pushes: entry 0 never matches, the depth stays 0.
    trap::Pop(t.s, t.p, "MainForm", "Sub Main", "");
    EXPECT_EQ(t.s.depth, 0);
    EXPECT_TRUE(t.p.warnings.empty());  // no box outside a development environment
}

TEST(CallStack, UnbalancedPopResetsDepthAndClearsTheRecordsNames) {
    Loaded t;
    trap::Push(t.s, t.p, "MainForm", "Sub Main", "");
    trap::Push(t.s, t.p, "MainForm", "Sub Load", "");
    t.s.error_record[0].module = "MainForm";
    t.s.error_record[0].procedure = "Sub Load";
    trap::Pop(t.s, t.p, "mainform", "Sub Load", "");  // letter case differs
    EXPECT_EQ(t.s.depth, 0);
    EXPECT_EQ(t.s.call_stack[2], " 2 : \tMainForm : Sub Load : ");  // old entries stay
    EXPECT_EQ(t.s.error_record[0].module, "");
    EXPECT_EQ(t.s.error_record[0].procedure, "");
    trap::Push(t.s, t.p, "MainForm", "Sub Other", "");
    EXPECT_EQ(t.s.depth, 1);
}

TEST(CallStack, UnbalancedPopWarnsOnlyInsideADevelopmentEnvironmentAndUnmarked) {
    Loaded t;
    t.s.in_development_host = true;
    trap::Push(t.s, t.p, "MainForm", "Sub Main", "");
    trap::Pop(t.s, t.p, "MainForm", "Sub Other", "");
    ASSERT_EQ(t.p.warnings.size(), 1u);
    EXPECT_EQ(t.p.warnings[0],
              "Module    \tMainForm\r\nProcedure\tSub Other\r\n\r\n"
              "Procedure is unbalanced or contains calls to unbalanced routines. \r\n\r\n"
              "'HollinPOP()' was called without 'HollinPUSH()'. \r\n\r\n"
              "Choose OK to break into the development environment.\r\n"
              "Choose CANCEL to continue with program.");
    // An error tail that left another procedure marked the record: no warning.
    trap::Push(t.s, t.p, "MainForm", "Sub Main", "");
    t.s.error_record[0].module = "MainForm << RegFunctions";
    t.s.error_record[0].procedure = "Sub Main << Function GetKeyValue";
    trap::Pop(t.s, t.p, "MainForm", "Sub Other", "");
    EXPECT_EQ(t.p.warnings.size(), 1u);
    EXPECT_EQ(t.s.error_record[0].module, "");
}

TEST(CallStack, LevelsAboveAThousandAreCountedButNotStored) {
    Loaded t;
    for (int i = 0; i < 1005; ++i) trap::Push(t.s, t.p, "M", "Sub R", "");
    EXPECT_EQ(t.s.depth, 1005);
    EXPECT_EQ(t.s.call_stack.size(), 1001u);
    for (int i = 0; i < 1005; ++i) trap::Pop(t.s, t.p, "M", "Sub R", "");
    EXPECT_EQ(t.s.depth, 0);
}

TEST(CallStack, PauseLetsMessagesThroughUntilTheDialogHasGone) {
    Loaded t;
    t.s.trace_paused = true;
    t.p.pause_flag = &t.s.trace_paused;
    trap::Push(t.s, t.p, "M", "Sub A", "");
    EXPECT_EQ(t.p.pumps, 1);
    EXPECT_EQ(t.s.depth, 1);
}

TEST(TraceLine, EntryAndExitLinesWithEveryIncludeFlagOn) {
    FakePlatform p;
    p.ini_text = "[log file]\n";  // an ini without "include": every flag on
    p.viewer = 77;
    p.tick_step = 0;
    trap::TrapState s;
    trap::LoadSettings(s, p);
    ASSERT_EQ(p.viewer_lines.size(), 1u);  // the start line
    EXPECT_EQ(p.viewer_lines[0], "[Quenloc] 12-09-2026 07:05:03 - start Hollin client v1.0 data capture\r\n");
    trap::Push(s, p, "MainForm", "Sub Main", "");
    p.tick += 15;
    trap::Push(s, p, "MainForm", "Sub LoadSettings", "");
    trap::Pop(s, p, "MainForm", "Sub LoadSettings", "");
    ASSERT_EQ(p.viewer_lines.size(), 4u);
    EXPECT_EQ(p.viewer_lines[1], "[Quenloc] [00001] [00000.000] ->MainForm : Sub Main :  : [res = 45%, mem = 1234567] : \r\n");
    EXPECT_EQ(p.viewer_lines[3],
              "[Quenloc] [00003] [00000.015] <-\tMainForm : Sub LoadSettings :  : [res = 45%, mem = 1234567] : \r\n");
    EXPECT_EQ(s.trace_sequence, 3);
}

TEST(TraceLine, IncludeFlagsShapeTheLine) {
    Loaded t("[include]\nArguments=0\nResources=0\nMemory=1\nUser=0\n");
    t.s.depth = 1;
    t.s.call_stack[1] = "MainForm : Sub Main : args";
    t.s.trace_sequence = 123456;
    t.p.tick = 1000 + 12345;
    auto line = trap::FormatTraceLine(t.s, t.p, 0, false);
    ASSERT_TRUE(line);
    // Cut at the second ":", five digits are a minimum, then only the free memory.
    EXPECT_EQ(*line, "[Quenloc] [123456] [00012.345] ->MainForm : Sub Main : [mem = 1234567]\r\n");
    EXPECT_EQ(t.s.level_time[1], 12345 * trap::kCurrencyScale);
}

TEST(TraceLine, OverheadIsSubtractedAndTheTimerMayWrap) {
    Loaded t;
    t.s.level_time[0] = int64_t{0xFFFFFF00} * trap::kCurrencyScale;
    t.p.tick = 0x100;  // wrapped past 2^32
    t.s.depth = 1;
    t.s.call_stack[1] = " 1 : M : Sub A : ";
    auto line = trap::FormatTraceLine(t.s, t.p, 12 * trap::kCurrencyScale, true);
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, "[Quenloc] [00000] [00000.500] <-M : Sub A : \r\n");  // 512 - 12 ms
}

TEST(TraceLine, LocaleNumberUsesThePointWhateverTheSystemSeparator) {
    EXPECT_EQ(trap::FormatLocaleNumber(12.3456, ".", "."), "00012.346");
    EXPECT_EQ(trap::FormatLocaleNumber(12.3456, ",", ","), "00012.346");
    EXPECT_EQ(trap::FormatLocaleNumber(123456.7894, ".", "."), "123456.789");
    EXPECT_EQ(trap::FormatLocaleNumber(-0.25, ".", "."), "-00000.250");
    // A separator that does not occur makes the formatting fail.
    EXPECT_FALSE(trap::FormatLocaleNumber(1.0, ",", ";"));
}

TEST(TraceLine, CalibrationMeasuresTheFirstPushAndPopOnlyWithAViewer) {
    FakePlatform p;
    p.ini_text = "[include]\nResources=0\nMemory=0\nUser=0\n";
    p.viewer = 5;
    p.tick_step = 1;  // every timer read costs a millisecond
    trap::TrapState s;
    trap::LoadSettings(s, p);
    trap::Push(s, p, "M", "Sub A", "");
    EXPECT_GT(s.push_overhead, 0);
    EXPECT_NE(p.viewer_lines[1].find("] [00000.002] ->M : Sub A : "), std::string::npos) << p.viewer_lines[1];  // own line: overhead 0
    trap::Pop(s, p, "M", "Sub A", "");
    EXPECT_GT(s.pop_overhead, 0);
    EXPECT_EQ(s.entry_tick, 0);
}

class CircularLog : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("trap_circ_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(CircularLog, ElevenLinesWrapToRecordOneAndRecordsArePadded) {
    Loaded t;
    trap::TrapState& s = t.s;
    FakePlatform& p = t.p;
    const fs::path file = dir_ / "circ.log";
    s.settings.circular_log_on = true;
    s.settings.circular_log_path = file.string();
    s.settings.record_size = 64;
    s.settings.max_records = 10;
    for (int i = 1; i <= 11; ++i) trap::WriteCircularLog(s, p, "line " + std::to_string(i) + "\r\n");
    const std::string bytes = ReadAll(file);
    ASSERT_EQ(bytes.size(), 512u + 10 * 64);
    EXPECT_EQ(bytes.substr(0, 5), "HM100");  // written when the file was opened here
    auto record = [&](int k) { return bytes.substr(512 + (k - 1) * 64, 64); };
    EXPECT_EQ(record(1), std::string("line 11\r\n") + std::string(55, '\0'));
    EXPECT_EQ(record(2), std::string("line 2\r\n") + std::string(56, '\0'));
    EXPECT_EQ(record(10), std::string("line 10\r\n") + std::string(55, '\0'));
    EXPECT_EQ(s.circular_index, 1);
}

TEST_F(CircularLog, HeaderAtStartAndPaddingCappedAt1024) {
    const std::string line30 = std::string(28, 'x') + "\r\n";
    EXPECT_EQ(trap::CircularRecord(line30, 1024), line30 + std::string(994, '\0'));
    EXPECT_EQ(trap::CircularRecord(line30, 2000).size(), 30u + 1024);
    EXPECT_EQ(trap::CircularRecord(line30, 10), line30.substr(0, 10));
    EXPECT_EQ(trap::CircularRecord(line30, 0), "");
    EXPECT_EQ(trap::CircularRecordOffset(3, 32767), 512 + 2 * 32767);
    EXPECT_EQ(trap::NextCircularIndex(0, 0), 1);

    // The settings load writes the record size and "HM100" from byte 5 on.
    const fs::path file = dir_ / "c.log";
    trap::File f = trap::OpenReadWrite(file.string());
    ASSERT_TRUE(f);
    ASSERT_TRUE(trap::WriteAt(f.get(), trap::kCircularHeaderPosition, "1024HM100"));
    f.reset();
    EXPECT_EQ(ReadAll(file), std::string(4, '\0') + "1024HM100");
}

TEST_F(CircularLog, CaptureAppendsEveryLineToTheLogFileOnlyWithWriteToDisk) {
    Loaded t;
    const fs::path log = dir_ / "error.log";
    t.s.settings.capture_to_disk = true;
    t.s.settings.log_file_path = log.string();
    trap::WriteCircularLog(t.s, t.p, "a\r\n");
    EXPECT_FALSE(fs::exists(log));
    t.s.settings.write_to_disk = true;
    trap::WriteCircularLog(t.s, t.p, "a\r\n");
    trap::WriteCircularLog(t.s, t.p, "b\r\n");
    EXPECT_EQ(ReadAll(log), "a\r\n\r\nb\r\n\r\n");
}

}  // namespace
