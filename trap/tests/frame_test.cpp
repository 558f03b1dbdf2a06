// The procedure frame as the service's procedures use it, with scripted answers in the
// error dialog's place.
#include <gtest/gtest.h>

#include <deque>

#include "error_dialog.h"
#include "win_support.h"

namespace trap_test {
std::deque<trap::Answer> answers;
std::vector<std::string> asked;
}  // namespace trap_test

namespace {

using trap_test::answers;
using trap_test::asked;

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        answers.clear();
        asked.clear();
        trap::SetErrorDialogStandIn([] {
            const trap::ErrorSlot& slot = trap::Globals().error_record[0];
            asked.push_back(slot.module + "|" + slot.procedure + "|" + std::to_string(slot.number));
            if (answers.empty()) return trap::Answer{};
            const trap::Answer a = answers.front();
            answers.pop_front();
            return a;
        });
        trap::HollinLoadSettings();
        // Count trace lines: every push and every balanced pop writes one.
        trap::Globals().settings.capture_to_disk = true;
        log_ = ini_.File("trap_frame.log");
        trap::Globals().settings.log_file_path = log_;
        start_ = trap::Globals().trace_sequence;
    }
    void TearDown() override { trap::SetErrorDialogStandIn(nullptr); }
    int Lines() const { return trap::Globals().trace_sequence - start_; }

    trap_test::TrapIni ini_{nullptr};
    std::string log_;
    int start_ = 0;
};

// A service procedure of three statements; the first fails `failures` times.
std::vector<int> Procedure(int failures) {
    std::vector<int> ran;
    trap::Frame frame("MainForm", "Sub SvcIt1_Start");
    frame.Run([&] {
        frame.Do([&] {
            ran.push_back(1);
            if (failures-- > 0) trap::Raise(53);
        });
        frame.Do([&] { ran.push_back(2); });
        ran.push_back(3);
    });
    return ran;
}

TEST_F(FrameTest, AnswerOneRunsTheStatementAgain) {
    answers = {int16_t{1}};
    EXPECT_EQ(Procedure(1), (std::vector<int>{1, 1, 2, 3}));
    EXPECT_EQ(asked, (std::vector<std::string>{"MainForm|Sub SvcIt1_Start|53"}));
    EXPECT_EQ(trap::Globals().depth, 0);
    EXPECT_EQ(Lines(), 2);  // one push, one pop
}

TEST_F(FrameTest, AnswerTwoGoesOnWithTheNextStatementAndClosesTheFrameOnce) {
    answers = {int16_t{2}};
    EXPECT_EQ(Procedure(1), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(Lines(), 2);
}

TEST_F(FrameTest, AnyOtherAnswerLeavesThroughTheExit) {
    answers = {std::nullopt};
    EXPECT_EQ(Procedure(1), (std::vector<int>{1}));
    answers = {int16_t{5}};
    EXPECT_EQ(Procedure(1), (std::vector<int>{1}));
    answers = {int16_t{0}};
    EXPECT_EQ(Procedure(1), (std::vector<int>{1}));
    EXPECT_EQ(trap::Globals().depth, 0);
    EXPECT_EQ(Lines(), 6);
}

// Without frame or tail: errors go to the caller's tail.
void LoadSettingsWithoutFrame() { trap::Raise(13); }

TEST_F(FrameTest, ErrorsOfUnframedProceduresReachTheCallersTail) {
    int after = 0;
    std::string seen;
    {
        trap::Frame frame("MainForm", "Sub SvcIt1_Start");
        frame.OnError([&](const trap::RunTimeError& e) { seen = "Error: " + std::to_string(e.number); });
        answers = {int16_t{2}};  // an error outside Do() leaves whatever the answer
        frame.Run([&] {
            LoadSettingsWithoutFrame();
            ++after;
        });
    }
    EXPECT_EQ(after, 0);
    EXPECT_EQ(seen, "Error: 13");
    EXPECT_EQ(asked, (std::vector<std::string>{"MainForm|Sub SvcIt1_Start|13"}));
    EXPECT_EQ(Lines(), 2);
}

TEST_F(FrameTest, EarlyExitNestingAndIgnoredErrors) {
    std::vector<std::string> ran;
    auto inner = [&] {
        trap::Frame frame("MainForm", "Sub ShowEventDescription");
        frame.Run([&] {
            trap::IgnoreErrors([&] { throw std::runtime_error("ignored"); });
            ran.push_back("after ignored");
            trap::IgnoreErrors([&] { trap::Raise(91); });
            ran.push_back("inner");
            return;  // early exit: the frame still closes once
        });
    };
    {
        trap::Frame frame("MainForm", "Sub NewLogEntry");
        frame.Run([&] {
            frame.Do(inner);
            EXPECT_EQ(trap::Globals().depth, 1);
            ran.push_back("outer");
        });
    }
    EXPECT_EQ(ran, (std::vector<std::string>{"after ignored", "inner", "outer"}));
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(trap::Globals().depth, 0);
    EXPECT_EQ(Lines(), 4);
}

}  // namespace
