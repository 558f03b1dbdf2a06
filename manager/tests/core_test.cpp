// The manager's tables and texts.
#include <gtest/gtest.h>

#include <set>

#include "core/manager_tables.h"

namespace vantrel::manager {
namespace {

TEST(Switches, NineBoxesWithTheirSettingsAndDesignStates) {
    const auto& s = Switches();
    ASSERT_EQ(s.size(), 9u);
    std::set<std::string> checked_by_design;
    for (const auto& sw : s) {
        if (sw.design_checked) checked_by_design.insert(sw.setting);
    }
    EXPECT_EQ(checked_by_design, (std::set<std::string>{"MonitorAppLog", "MonitorSecurityLog", "MonitorSystemLog",
                                                        "MonitorInfoEvents", "MonitorWarningEvents",
                                                        "MonitorErrorEvents"}));
    EXPECT_STREQ(s[3].setting, "MonitorDSLog");
    EXPECT_STREQ(s[3].caption, "Directory Service");
}

TEST(Switches, OnlyExactOneAndZeroChangeABox) {
    EXPECT_TRUE(CheckedFromSetting(std::string("1"), false));
    EXPECT_FALSE(CheckedFromSetting(std::string("0"), true));
    for (const char* other : {"", "01", " 1", "true", "-1"}) {
        EXPECT_TRUE(CheckedFromSetting(std::string(other), true)) << other;
        EXPECT_FALSE(CheckedFromSetting(std::string(other), false)) << other;
    }
    EXPECT_TRUE(CheckedFromSetting(std::nullopt, true));
    EXPECT_EQ(IncludeFromSetting(std::string("I")), true);
    EXPECT_EQ(IncludeFromSetting(std::string("E")), false);
    EXPECT_EQ(IncludeFromSetting(std::string("i")), std::nullopt);
    EXPECT_EQ(IncludeFromSetting(std::nullopt), std::nullopt);
}

TEST(ServiceStates, TextsAndButtonsByStatus) {
    auto s = StateFromStatus(1);
    EXPECT_EQ(s.text, "Stopped");
    EXPECT_EQ(s.start_enabled, true);
    EXPECT_EQ(s.stop_enabled, false);
    s = StateFromStatus(4);
    EXPECT_EQ(s.text, "Running");
    EXPECT_EQ(s.start_enabled, false);
    EXPECT_EQ(s.stop_enabled, true);
    EXPECT_EQ(StateFromStatus(2).start_enabled, false);
    EXPECT_EQ(StateFromStatus(3).stop_enabled, false);
    EXPECT_EQ(StateFromStatus(7).text, "Paused");
    for (long other : {0L, 9L, -1L}) {
        s = StateFromStatus(other);
        EXPECT_EQ(s.text, "");
        EXPECT_FALSE(s.start_enabled.has_value());
        EXPECT_FALSE(s.stop_enabled.has_value());
    }
}

TEST(TestMail, RecipientsSkipTemplatesWithoutStrayCommas) {
    EXPECT_EQ(TestRecipients({"%username%@x.org", "a@x.org", "%USERNAME%"}), "a@x.org");
    EXPECT_EQ(TestRecipients({"%UserName%@x.org", "%username%"}), "");
    EXPECT_EQ(TestRecipients({"a@x.org", "%username%@x.org", "b@x.org"}), "a@x.org,b@x.org");
    // An empty item is still an item: its comma stays.
    EXPECT_EQ(TestRecipients({"", "a@x.org"}), ",a@x.org");
    EXPECT_EQ(TestRecipients({"%username", "a"}), "%username,a");
}

TEST(Toolbar, SixButtonsByKeyInOrder) {
    const auto& b = ToolButtons();
    ASSERT_EQ(b.size(), 6u);
    const char* keys[] = {"startservice", "stopservice", "add", "delete", "setup", "about"};
    for (size_t i = 0; i < 6; ++i) EXPECT_STREQ(b[i].key, keys[i]);
    EXPECT_STREQ(b[0].tooltip, "Start Nalt Service");
    EXPECT_STREQ(b[4].tooltip, "SMTP Setup");
}

}  // namespace
}  // namespace vantrel::manager
