// The platform's conversions behind the list filter: numbers as the automation run time
// reads them, upper case for the code page's letters.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/core/run_time_error.h"
#include "text_rules.h"

namespace quenloc {
namespace {

int ErrorOf(const std::string& text) {
    try {
        TextToDouble(text);
    } catch (const vantrel::common::RunTimeError& e) {
        return e.number;
    }
    return 0;
}

TEST(TextToDouble, ReadsEveryFormTheRunTimeReads) {
    EXPECT_EQ(TextToDouble("0100"), 100.0);
    EXPECT_EQ(TextToDouble(" 7 "), 7.0);
    EXPECT_EQ(TextToDouble("+12"), 12.0);
    EXPECT_EQ(TextToDouble("-5"), -5.0);
    EXPECT_EQ(TextToDouble("1e3"), 1000.0);
    EXPECT_EQ(TextToDouble("1.5E+1"), 15.0);
    EXPECT_EQ(TextToDouble("&H10"), 16.0);
    EXPECT_EQ(TextToDouble("&hff"), 255.0);
    EXPECT_EQ(TextToDouble("&O17"), 15.0);
}

TEST(TextToDouble, WhatIsNoNumberIsAMismatchWhatIsTooLargeAnOverflow) {
    for (const char* text : {"", " ", "abc", "0x10", "nan", "inf", "5 5", "eleven", "1e"})
        EXPECT_EQ(ErrorOf(text), 13) << text;
    EXPECT_EQ(ErrorOf(std::string(40000, '9')), 6);
    EXPECT_EQ(ErrorOf("1e400"), 6);
    // The conversion would stop at the NUL and read "3": the whole text is no number.
    EXPECT_EQ(ErrorOf(std::string("3\0", 2)), 13);
    EXPECT_EQ(ErrorOf(std::string("3\0" "9", 3)), 13);
}

TEST(UpperText, EveryLetterOfTheCodePageAndNothingElse) {
    ASSERT_EQ(::GetACP(), 1252u) << "the letters below are those of code page 1252";
    EXPECT_EQ(UpperText("event log"), "EVENT LOG");
    EXPECT_EQ(UpperText("\xE9v\xE8nement \xFC\xF1\xE7"), "\xC9V\xC8NEMENT \xDC\xD1\xC7");
    EXPECT_EQ(UpperText("\xC9\t1.5 @_"), "\xC9\t1.5 @_");
    EXPECT_EQ(UpperText(std::string("a\0b", 3)), std::string("A\0B", 3));
    EXPECT_EQ(UpperText(""), "");
}

}  // namespace
}  // namespace quenloc
