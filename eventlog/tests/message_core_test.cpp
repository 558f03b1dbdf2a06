// The insertion rules and the message-file list, without Windows.
#include <gtest/gtest.h>

#include <map>

#include "core/message_expand.h"
#include "core/message_files.h"

namespace {

// Parameter messages from a table; a missing number fails like a message file would.
struct TableParams : lorvex::ParameterSource {
    std::map<uint32_t, std::string> table;
    int lookups = 0;
    int32_t Lookup(uint32_t n, std::string* text) override {
        ++lookups;
        auto it = table.find(n);
        if (it == table.end()) return static_cast<int32_t>(0x80070715);  // resource type not found
        *text = it->second;
        return lorvex::kStatusOk;
    }
};

lorvex::ExpandResult Expand(const std::string& message, std::vector<std::string> strings, TableParams& params) {
    return lorvex::ExpandMessage(message, lorvex::ExpandInsertionStrings(strings, params), params);
}

TEST(ExpandMessage, InsertsStringsAndParameterMessages) {
    TableParams p;
    p.table = {{7, "seven"}, {12, "twelve"}};
    EXPECT_EQ(Expand("Disk %1 is full", {"C:"}, p).text, "Disk C: is full");
    EXPECT_EQ(Expand("%%%1", {"7"}, p).text, "seven");
    EXPECT_EQ(Expand("a %%12 b", {}, p).text, "a twelve b");
    EXPECT_EQ(Expand("%2%1", {"x", "y"}, p).text, "yx");
    EXPECT_EQ(Expand("100% sure, %", {}, p).text, "100% sure, %");  // a percent with no digits stays
    EXPECT_EQ(Expand("%10", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "ten"}, p).text, "ten");
}

TEST(ExpandMessage, ReportsMissingOrNonNumericInsertionStrings) {
    TableParams p;
    p.table = {{7, "seven"}};
    auto r = Expand("%3", {"a", "b"}, p);
    EXPECT_EQ(r.status, lorvex::kStatusFailed);
    EXPECT_STREQ(r.error_text, "No such insertion string");
    EXPECT_STREQ(Expand("%0", {"a"}, p).error_text, "No such insertion string");
    EXPECT_STREQ(Expand("%%%1", {"7a"}, p).error_text, "Expected numeric insertion string value");
    EXPECT_STREQ(Expand("%%%1", {""}, p).error_text, "Expected numeric insertion string value");
    EXPECT_STREQ(Expand("%%%2", {"7"}, p).error_text, "No such insertion string");
    // A parameter message that cannot be found fails the whole message, with the lookup's status.
    r = Expand("x %%99", {}, p);
    EXPECT_EQ(static_cast<uint32_t>(r.status), 0x80070715u);
    EXPECT_EQ(r.error_text, nullptr);
    EXPECT_TRUE(r.text.empty());
}

TEST(ExpandInsertionStrings, ExpandsKnownParametersAndKeepsUnknownOnes) {
    TableParams p;
    p.table = {{5, "five"}};
    auto s = lorvex::ExpandInsertionStrings({"%%5 and %%1024", "%%%5", "plain"}, p);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0], "five and %%1024");
    EXPECT_EQ(s[1], "%five");
    EXPECT_EQ(s[2], "plain");
}

TEST(ExpandLimits, CapInsertionsAt1023AndFailMessagesPast4095) {
    TableParams p;
    p.table = {{1, std::string(600, 'p')}};
    // Pieces are appended whole: the second expansion would pass 1023, so the copy ends before it.
    auto s = lorvex::ExpandInsertionStrings({"%%1%%1", std::string(2000, 'a')}, p);
    EXPECT_EQ(s[0], std::string(600, 'p'));
    EXPECT_EQ(s[1].size(), lorvex::kMaxInsertionLength);

    EXPECT_EQ(Expand(std::string(4095, 'm'), {}, p).status, lorvex::kStatusOk);
    auto r = Expand(std::string(4096, 'm'), {}, p);
    EXPECT_EQ(r.status, lorvex::kStatusOutOfMemory);
    EXPECT_STREQ(r.error_text, "String buffer too short");
    // Four insertions of 1023 characters fit; a fifth character does not.
    std::vector<std::string> four(4, std::string(1023, 'i'));
    EXPECT_EQ(Expand("%1%2%3%4", four, p).text.size(), 4092u);
    EXPECT_STREQ(Expand("%1%2%3%4xxxx", four, p).error_text, "String buffer too short");
}

TEST(MessageFiles, SplitsAtEverySemicolonAndMapsRemotePaths) {
    EXPECT_EQ(lorvex::SplitFileList("a.dll;b.dll"), (std::vector<std::string>{"a.dll", "b.dll"}));
    EXPECT_EQ(lorvex::SplitFileList("x.dll;"), (std::vector<std::string>{"x.dll", ""}));
    EXPECT_EQ(lorvex::SplitFileList(""), (std::vector<std::string>{""}));
    EXPECT_EQ(lorvex::RemotePath("%SystemRoot%\\System32\\msg.dll", "SRV"), "\\\\SRV\\admin$\\System32\\msg.dll");
    EXPECT_EQ(lorvex::RemotePath("D:\\app\\msg.dll", "SRV"), "\\\\SRV\\D$\\app\\msg.dll");
    EXPECT_EQ(lorvex::RemotePath("%systemroot%\\x.dll", "SRV"), "%systemroot%\\x.dll");
    EXPECT_EQ(lorvex::RemotePath("%WINDIR%\\x.dll", "SRV"), "%WINDIR%\\x.dll");
    EXPECT_EQ(lorvex::RemotePath("\\\\other\\share\\x.dll", "SRV"), "\\\\other\\share\\x.dll");
    EXPECT_EQ(lorvex::RemotePath("C", "SRV"), "C");
}

}  // namespace
