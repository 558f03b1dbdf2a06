// What the error dialog shows: summary, error list, call tree, knowledge-base matches.
#include <gtest/gtest.h>

#include "core/dialog_contents.h"

namespace {

// An error in "Sub LoadSettings" at depth `depth` of the service's start, as the
// error entry leaves it.
trap::TrapState Recorded(int depth, int16_t hops = 0) {
    trap::TrapState s;
    s.level_flag.assign(1001, 0);
    const char* const procedures[] = {"Sub Main", "Sub SvcIt1_Start", "Sub LoadSettings", "Function GetKeyValue"};
    s.call_tree[0] = " " + std::to_string(depth);
    for (int i = 1; i <= depth; ++i)
        s.call_tree[static_cast<size_t>(i)] = " " + std::to_string(i) + " : " + std::string(static_cast<size_t>(i - 1), '\t') +
                                              "MainForm : " + procedures[i - 1] + " : ";
    auto& r = s.error_record[0];
    r.module = "MainForm";
    r.procedure = "Sub LoadSettings";
    r.number = 53;
    r.line = 12;
    r.description = "File not found";
    s.hop_count = hops;
    for (int k = 1; k <= hops; ++k) {
        auto& h = s.error_record[static_cast<size_t>(k)];
        h.source = "Comp" + std::to_string(k) + " (remote)";
        h.module = "Mod" + std::to_string(k);
        h.procedure = "Proc" + std::to_string(k);
        h.number = 5 + k;
        h.line = k == 1 ? 0 : 30;
        h.description = k == 1 ? "Overflow" : "Out of Memory";
    }
    if (hops > 0) {
        r.source = "Quenloc (local) << Comp1 (remote)";
        r.module += " << Mod1";
        r.procedure += " << Proc1";
    }
    return s;
}

TEST(DialogSummary, NamesRecordZeroUpToOneHopAndTheLastHopFromTwoOn) {
    EXPECT_EQ(trap::SummaryText(Recorded(3, 0), "Quenloc"),
              "An unexpected 'file not found' error occured in Quenloc.\r\n1 error(s) are logged.");
    EXPECT_EQ(trap::SummaryText(Recorded(3, 1), "Quenloc"),
              "An unexpected 'file not found' error occured in Quenloc.\r\n2 error(s) are logged.");
    EXPECT_EQ(trap::SummaryText(Recorded(3, 2), "Quenloc"),
              "An unexpected 'out of memory' error occured in a component used by Quenloc.\r\n3 error(s) are logged.");

    EXPECT_EQ(trap::ErrorListItems(Recorded(3, 0)), (std::vector<std::string>{"Error 1 - File not found"}));
    EXPECT_EQ(trap::ErrorListItems(Recorded(3, 2)),
              (std::vector<std::string>{"Error 3 - File not found", "Error 2 - Overflow", "Error 1 - Out of Memory"}));
    EXPECT_EQ(trap::LineCaption(12, 3), " 12");
    EXPECT_EQ(trap::LineCaption(0, 3), " line numbers not used - Code Pointer = 3");
}

TEST(DialogCallTree, TrapInTheDeepestEntryAddsNoErrorLine) {
    trap::TrapState s = Recorded(3);
    s.level_flag[2] = 7;
    const trap::CallTreeView v = trap::BuildCallTree(s);
    EXPECT_EQ(v.items, (std::vector<std::string>{
                           " 1 : Call\tMainForm : Sub Main :",
                           " 2 : Call\t\tMainForm : Sub SvcIt1_Start :",
                           " 3 : Code\t\tCode Pointer = 7",
                           " 4 : Call\t\t\tMainForm : Sub LoadSettings :",
                           " 5 : Trap\t\t\tRuntime error 53, File not found on line 12",
                       }));
    EXPECT_EQ(v.trap_index, 4u);
    EXPECT_EQ(trap::FirstRuntimeErrorItem(v.items), 4);
}

TEST(DialogCallTree, TrapInAShallowerEntryIsFollowedByOneErrorLine) {
    trap::TrapState s = Recorded(4, 2);
    s.error_record[0].line = 0;
    const trap::CallTreeView v = trap::BuildCallTree(s);
    EXPECT_EQ(v.items, (std::vector<std::string>{
                           " 1 : Call\tMainForm : Sub Main :",
                           " 2 : Call\t\tMainForm : Sub SvcIt1_Start :",
                           " 3 : Call\t\t\tMainForm : Sub LoadSettings :",
                           " 4 : Trap\t\t\tRuntime error 53, File not found",
                           " 5 : Call\t\t\t\tMainForm : Function GetKeyValue :",
                           " 6 : Error\t\t\t\tRuntime error 53, File not found",
                           " 7 : Call\t\t\t\t\tComp1 (remote) : Mod1 : Proc1",
                           " 8 : Error\t\t\t\t\tRuntime error 6, Overflow",
                           " 9 : Call\t\t\t\t\t\tComp2 (remote) : Mod2 : Proc2",
                           " 10 : Error\t\t\t\t\t\tRuntime error 7, Out of Memory on line 30",
                       }));
}

TEST(DialogCallTree, WithoutATrapLineTheErrorLineNeedsTwoItems) {
    trap::TrapState s = Recorded(1);
    s.error_record[0].procedure = "Sub Elsewhere";
    EXPECT_EQ(trap::BuildCallTree(s).items, (std::vector<std::string>{" 1 : Call\tMainForm : Sub Main :"}));
    EXPECT_EQ(trap::FirstRuntimeErrorItem(trap::BuildCallTree(s).items), -1);

    s.level_flag[1] = 2;
    EXPECT_EQ(trap::BuildCallTree(s).items,
              (std::vector<std::string>{" 1 : Call\tMainForm : Sub Main :", " 2 : Code\tCode Pointer = 2",
                                        " 3 : Error\tRuntime error 53, File not found"}));

    // Entry 0 may claim more entries than the copy holds: 1000 calls, a code and an error line.
    s.call_tree[0] = " 5000";
    EXPECT_EQ(trap::BuildCallTree(s).items.size(), 1002u);
    s.call_tree[0] = "";
    EXPECT_TRUE(trap::BuildCallTree(s).items.empty());
}

TEST(KnowledgeBase, MatchesTheTextAfterTheFirstBlankAndListsWholeLines) {
    const std::vector<std::string> lines = {
        "Q100001 PRB: File Not Found when opening a log",
        "Q100002 Runtime ERROR 53 in setup",
        "Q100003 ERROR 530 elsewhere",
        "FILENOTFOUND",
        "Q100004 unrelated",
    };
    EXPECT_EQ(trap::KnowledgeBaseMessage(lines, "File not found", " 53"),
              "The following knowledge base article(s) may contain information to assist you:\r\n"
              "\r\n - Q100001 PRB: File Not Found when opening a log"
              "\r\n - Q100002 Runtime ERROR 53 in setup"
              "\r\n - Q100003 ERROR 530 elsewhere");
    // A line without a blank is matched on its whole text.
    EXPECT_EQ(trap::KnowledgeBaseMessage({"XOVERFLOWX"}, "Overflow", " 6"),
              "The following knowledge base article(s) may contain information to assist you:\r\n\r\n - XOVERFLOWX");
    EXPECT_EQ(trap::KnowledgeBaseMessage(lines, "Overflow", " 6"),
              "No matching article was found. Try searching the knowledge base for the error number.");
}

}  // namespace
