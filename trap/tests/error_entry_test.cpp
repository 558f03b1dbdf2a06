// The error entry's record keeping, classification and order of steps, over a scripted
// platform.
#include <gtest/gtest.h>

#include <functional>
#include <new>

#include "core/error_classes.h"
#include "core/error_entry.h"
#include "core/trace.h"
#include "fake_platform.h"

namespace {

using trap::RunTimeError;

class ErrorEntry : public ::testing::Test {
protected:
    void SetUp() override {
        platform_.viewer = 1;  // the viewer collects every trace line
        trap::LoadSettings(s_, platform_);
        platform_.viewer_lines.clear();
    }
    void Push(const std::string& module, const std::string& procedure) {
        trap::Push(s_, platform_, module, procedure, "");
    }
    bool Record(const std::string& module, const std::string& procedure, const RunTimeError& e) {
        return trap::RecordError(s_, platform_, module, procedure, e);
    }
    const trap::ErrorSlot& Slot(size_t i) const { return s_.error_record[i]; }

    trap_test::FakePlatform platform_;
    trap::TrapState s_;
};

RunTimeError Error(int32_t number, std::string source = {}, int32_t line = 0) {
    RunTimeError e(number, "the pending error's own text, never shown", std::move(source));
    e.line = line;
    e.help_file = "own.hlp";
    e.help_context = 77;
    return e;
}

TEST_F(ErrorEntry, LocalErrorInThePushedProcedure) {
    Push("MainForm", "Sub SvcIt1_Start");
    Push("MainForm", "Sub LoadSettings");
    s_.level_flag[2] = 4;
    platform_.viewer_lines.clear();
    ASSERT_TRUE(Record("MainForm", "Sub LoadSettings", Error(53, {}, 120)));
    EXPECT_EQ(Slot(0).source, "Quenloc (local)");
    EXPECT_EQ(Slot(0).module, "MainForm");
    EXPECT_EQ(Slot(0).procedure, "Sub LoadSettings");
    EXPECT_EQ(Slot(0).line, 120);
    EXPECT_EQ(Slot(0).number, 53);
    EXPECT_EQ(Slot(0).description, trap::StandardMessage(53).text);
    EXPECT_EQ(Slot(0).category, "File System (disk, directory or file) access error");
    EXPECT_EQ(Slot(0).help_file, "own.hlp");
    EXPECT_EQ(Slot(0).help_context, 77);
    EXPECT_EQ(s_.error_level_flag, 4);
    EXPECT_EQ(s_.hop_count, 0);
    ASSERT_EQ(platform_.viewer_lines.size(), 1u);
    EXPECT_EQ(platform_.viewer_lines[0], "[Quenloc] ERROR 53 at MainForm : Sub LoadSettings : Line 120 : " +
                                             trap::StandardMessage(53).text + "\r\n");
    EXPECT_EQ(s_.call_tree[0], " 2");
    EXPECT_EQ(s_.call_tree[1], s_.call_stack[1]);
    EXPECT_EQ(s_.call_tree[2], " 2 : \tMainForm : Sub LoadSettings : ");
}

TEST_F(ErrorEntry, SourcesAndTheMarksOfAHandlerBelowTheTop) {
    Push("MainForm", "Sub SvcIt1_Start");
    Push("RegFunctions", "Function GetKeyValue");  // its pop was never reached
    ASSERT_TRUE(Record("MainForm", "Sub SvcIt1_Start", Error(429, "Lorvex")));
    EXPECT_EQ(Slot(0).source, "Lorvex (remote)");
    EXPECT_EQ(Slot(0).module, "MainForm << RegFunctions");
    EXPECT_EQ(Slot(0).procedure, "Sub SvcIt1_Start << Function GetKeyValue");
    EXPECT_EQ(Slot(0).category, "Object Linking and Embedding error");
    EXPECT_EQ(Slot(0).help_file, "own.hlp");
    RunTimeError plain(429);
    ASSERT_TRUE(Record("MainForm", "Sub SvcIt1_Start", plain));
    EXPECT_EQ(Slot(0).help_file, trap::kErrorHelpFile);
    EXPECT_EQ(Slot(0).help_context, 429);

    // Letter case and surrounding blanks do not count.
    ASSERT_TRUE(Record(" regfunctions ", "FUNCTION GETKEYVALUE", Error(5)));
    EXPECT_EQ(Slot(0).module, "RegFunctions");
    EXPECT_EQ(Slot(0).procedure, "Function GetKeyValue");
    EXPECT_EQ(Slot(0).source, "Quenloc (local)");
}

TEST_F(ErrorEntry, EmptyStackLeavesTheMarkAlone) {
    ASSERT_TRUE(Record("MainForm", "Sub Main", Error(5)));
    EXPECT_EQ(Slot(0).module, "MainForm << ");
    EXPECT_EQ(Slot(0).procedure, "Sub Main << ");
    EXPECT_EQ(s_.call_tree[0], " 0");
}

TEST_F(ErrorEntry, NegativeNumbersAreRebasedOnTheObjectErrorBase) {
    Push("MainForm", "Sub Main");
    const int32_t raised = trap::kObjectErrorBase + 513;
    ASSERT_TRUE(Record("MainForm", "Sub Main", Error(raised)));
    EXPECT_EQ(Slot(0).number, 513);
    EXPECT_EQ(Slot(0).description, trap::StandardMessage(513).text + " : " + trap::StandardMessage(raised).text);
    EXPECT_EQ(Slot(0).category, "Remote OLE Automation error");

    ASSERT_TRUE(Record("MainForm", "Sub Main", Error(INT32_MIN)));
    EXPECT_EQ(Slot(0).number, INT32_MIN - trap::kObjectErrorBase);
}

TEST_F(ErrorEntry, RemoteChainOfTwoHops) {
    Push("MainForm", "Sub Main");
    s_.error_record[5].description = "stale";
    ASSERT_TRUE(Record("MainForm", "Sub Main", Error(1001, "2A!M1!P1!10!5!B!M2!P2!20!6!")));
    EXPECT_EQ(s_.hop_count, 2);
    EXPECT_EQ(Slot(2).source, "A (remote)");
    EXPECT_EQ(Slot(2).module, "M1");
    EXPECT_EQ(Slot(2).procedure, "P1");
    EXPECT_EQ(Slot(2).line, 10);
    EXPECT_EQ(Slot(2).number, 5);
    EXPECT_EQ(Slot(2).description, trap::StandardMessage(5).text);
    EXPECT_EQ(Slot(2).category, trap::ErrorCategoryText(trap::ErrorClassOf(1001)));  // of the number that came in
    EXPECT_EQ(Slot(1).source, "B (remote) << A (remote)");
    EXPECT_EQ(Slot(1).module, "M2 << M1");
    EXPECT_EQ(Slot(1).line, 20);
    EXPECT_EQ(Slot(1).number, 6);
    EXPECT_EQ(Slot(0).source, "Quenloc (local) << B (remote) << A (remote)");
    EXPECT_EQ(Slot(0).module, "MainForm << M2 << M1");
    EXPECT_EQ(Slot(0).procedure, "Sub Main << P2 << P1");
    EXPECT_EQ(Slot(0).number, 440);
    EXPECT_EQ(Slot(0).description, "Remote " + trap::StandardMessage(440).text);
    EXPECT_EQ(Slot(0).category, "Object Linking and Embedding");
    EXPECT_EQ(Slot(0).help_context, trap::StandardMessage(440).help_context);
    EXPECT_EQ(Slot(5).description, "");
}

TEST_F(ErrorEntry, RemoteChainEdges) {
    // Missing fields read "<unknown>"; numbers that are not above 0 read 0.
    ASSERT_TRUE(Record("MainForm", "Sub Main", Error(5, "1X!M!P!-4")));
    EXPECT_EQ(Slot(1).source, "X (remote)");
    EXPECT_EQ(Slot(1).line, 0);
    EXPECT_EQ(Slot(1).number, 0);
    EXPECT_EQ(Slot(1).source, "X (remote)");

    // Twelve hops: the first two in the text would go beyond slot 10 and are dropped.
    std::string chain = "12";
    for (int i = 1; i <= 12; ++i) chain += "S" + std::to_string(i) + "!M!P!" + std::to_string(i) + "!" + std::to_string(i) + "!";
    ASSERT_TRUE(Record("MainForm", "Sub Main", Error(5, chain)));
    EXPECT_EQ(s_.hop_count, 12);
    EXPECT_EQ(Slot(10).source, "S3 (remote)");
    EXPECT_EQ(Slot(10).number, 3);
    EXPECT_EQ(Slot(1).number, 12);
    EXPECT_EQ(Slot(0).source.find("S2 "), std::string::npos);
    EXPECT_NE(Slot(0).source.find("<< S12 (remote) << S11 (remote)"), std::string::npos);
    EXPECT_EQ(Slot(0).source.substr(Slot(0).source.size() - 11), "S3 (remote)");

    // A hop count that is no 16-bit number gives no hops.
    ASSERT_TRUE(Record("MainForm", "Sub Main", Error(5, "99999A!B!C!1!2!")));
    EXPECT_EQ(s_.hop_count, 0);
    EXPECT_EQ(Slot(0).source, "Quenloc (local)");
    EXPECT_EQ(Slot(0).number, 440);
}

TEST(ErrorClasses, EdgesOfTheTable) {
    const std::pair<int32_t, const char*> cases[] = {
        {440, "Object Linking and Embedding"}, {70, "Network "},          {0, "User defined "},
        {-1, "Remote OLE Automation"},         {3, "General run-time"},   {46, "General run-time"},
        {47, "File System (disk, directory or file) access"},            {2, "User defined "},
        {91, "Non-initialzed object or variant"},                         {260, "Form, control, property or object value"},
        {426, "Form or MDI child form"},       {482, "Printer access"},   {32767, "Custom Control or user defined"},
        {32766, "Common Dialog"},              {3006, "ODBC Network"},    {3464, "User defined "},
        {3626, "Replication"},                 {35618, "Windows 95 Custom Control"},
        {40059, "Remote Data Object (RDO)"},   {40516, "Remote Data Control (RDC)"},
        {INT32_MAX, "User defined "},          {INT32_MIN, "Remote OLE Automation"},
    };
    for (const auto& [number, text] : cases) EXPECT_EQ(trap::ErrorCategoryText(trap::ErrorClassOf(number)), text) << number;
    EXPECT_EQ(trap::ErrorCategoryText(56), "Object");
    EXPECT_EQ(trap::ErrorCategoryText(1), "Unknown Error Class");
}

// The steps around the dialog, in their order.
struct ScriptedSteps : trap::ErrorEntrySteps {
    std::vector<std::string> calls;
    trap::Answer answer;
    std::string report = "the report";
    std::function<void()> during_report, during_dialog, during_mail;
    // What the dialog, the mail and the log read: the error number and the call tree's top.
    const trap::TrapState* state = nullptr;
    std::vector<std::string> read;
    std::string SystemInfoReport() override {
        calls.push_back("report");
        if (during_report) during_report();
        return report;
    }
    trap::Answer ShowDialog() override {
        calls.push_back("dialog");
        Read("dialog");
        if (during_dialog) during_dialog();
        return answer;
    }
    void MailReport() override {
        calls.push_back("mail");
        Read("mail");
        if (during_mail) during_mail();
    }
    void WriteErrorLog() override {
        calls.push_back("log");
        Read("log");
    }
    void Read(const std::string& step) {
        if (!state) return;
        read.push_back(step + " " + std::to_string(state->error_record[0].number) + state->call_tree[0] + " " +
                       state->error_record[0].procedure + " " + state->system_report_text);
    }
};

TEST_F(ErrorEntry, StepsFollowTheSettings) {
    ScriptedSteps steps;
    steps.answer = int16_t{5};
    s_.settings.display_mode = -1;
    s_.settings.email_address = "ops@example.org";
    s_.settings.write_to_disk = true;
    s_.trace_paused = true;  // another dialog was up; the scripted pump lets it go
    platform_.pause_flag = &s_.trace_paused;
    EXPECT_EQ(trap::RunErrorEntry(s_, platform_, steps, "MainForm", "Sub Main", Error(5)), trap::Answer(int16_t{5}));
    EXPECT_EQ(steps.calls, (std::vector<std::string>{"report", "dialog", "mail", "log"}));
    EXPECT_EQ(s_.system_report_text, "the report");
    EXPECT_GE(platform_.pumps, 1);

    // Silent Run "1": no dialog, the answer is "leave"; "2" still shows it.
    steps.calls.clear();
    s_.settings = {};
    s_.settings.silent_run = -1;
    EXPECT_EQ(trap::RunErrorEntry(s_, platform_, steps, "MainForm", "Sub Main", Error(5)), trap::Answer());
    EXPECT_TRUE(steps.calls.empty());
    s_.settings.silent_run = -2;
    trap::RunErrorEntry(s_, platform_, steps, "MainForm", "Sub Main", Error(5));
    EXPECT_EQ(steps.calls, (std::vector<std::string>{"dialog"}));
    EXPECT_FALSE(s_.trace_paused);
}

TEST_F(ErrorEntry, AnErrorInsideTheDialogDoesNotReplaceTheRecordOfTheFirst) {
    Push("MainForm", "Sub SvcIt1_Start");
    ScriptedSteps outer, inner;
    s_.settings.write_to_disk = true;
    inner.answer = int16_t{0};
    outer.answer = int16_t{0};
    outer.during_dialog = [&] {
        trap::RunErrorEntry(s_, platform_, inner, "MainForm", "Sub Timer1_Timer", Error(11));
        EXPECT_EQ(Slot(0).number, 11);
    };
    trap::RunErrorEntry(s_, platform_, outer, "MainForm", "Sub SvcIt1_Start", Error(53));
    EXPECT_EQ(Slot(0).number, 53);
    EXPECT_EQ(Slot(0).procedure, "Sub SvcIt1_Start");

    // The system report and the mail let pending messages through too: a handler that
    // fails there, one level deeper, leaves the dialog, the mail and the log to this error.
    s_.settings.display_mode = -1;
    s_.settings.email_address = "ops@example.org";
    for (const int16_t silent : {int16_t{-1}, int16_t{0}}) {
        SCOPED_TRACE(silent);
        s_.settings.silent_run = silent;
        ScriptedSteps first;
        first.state = &s_;
        auto handler_fails = [&] {
            Push("MainForm", "Sub Timer1_Timer");
            ScriptedSteps handler;
            handler.report = "the handler's report";
            trap::RunErrorEntry(s_, platform_, handler, "MainForm", "Sub Timer1_Timer", Error(11));
            trap::Pop(s_, platform_, "MainForm", "Sub Timer1_Timer", "");
        };
        first.during_report = handler_fails;
        first.during_mail = handler_fails;
        trap::RunErrorEntry(s_, platform_, first, "MainForm", "Sub SvcIt1_Start", Error(53));
        std::vector<std::string> expected{"mail 53 1 Sub SvcIt1_Start the report", "log 53 1 Sub SvcIt1_Start the report"};
        if (silent == 0) expected.insert(expected.begin(), "dialog 53 1 Sub SvcIt1_Start the report");
        EXPECT_EQ(first.read, expected);
    }
}

// A pump that fails while the entry waits for another dialog.
struct FailingPump : trap_test::FakePlatform {
    void PumpMessages() override { throw std::bad_alloc(); }
};

TEST(ErrorEntryFailure, FailureBeforeTheStackIsReadGoesToTheInternalErrorBox) {
    FailingPump platform;
    trap::TrapState s;
    trap::LoadSettings(s, platform);
    s.trace_paused = true;
    ScriptedSteps steps;
    steps.answer = int16_t{1};
    EXPECT_EQ(trap::RunErrorEntry(s, platform, steps, "MainForm", "Sub Main", Error(5)), trap::Answer());
    EXPECT_EQ(platform.internal_errors, (std::vector<std::string>{"7 HollinERROR()"}));
    EXPECT_TRUE(steps.calls.empty());
    EXPECT_FALSE(s.trace_paused);
}

}  // namespace
