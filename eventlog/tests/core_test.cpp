#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/class_table.h"
#include "core/error_text.h"

namespace {

TEST(ErrorText, StatusCarriesTheLowSixteenBitsOfTheCode) {
    EXPECT_EQ(static_cast<uint32_t>(lorvex::StatusFromWin32(5)), 0x80070005u);
    EXPECT_EQ(static_cast<uint32_t>(lorvex::StatusFromWin32(1503)), 0x800705DFu);
    EXPECT_EQ(static_cast<uint32_t>(lorvex::StatusFromWin32(0x12345678)), 0x80075678u);
    // A failure with no recorded code must never read as success.
    EXPECT_EQ(static_cast<uint32_t>(lorvex::StatusFromWin32(0)), 0x80004005u);
}

TEST(ErrorText, DescriptionJoinsFixedTextAndSystemMessageUnchanged) {
    EXPECT_EQ(lorvex::ErrorDescription("Error opening event log", std::string("Access denied.\r\n")),
              "Error opening event log - Access denied.\r\n");
    EXPECT_EQ(lorvex::ErrorDescription("Null pointer", std::nullopt), "Null pointer");
    EXPECT_EQ(lorvex::ErrorDescription(nullptr, std::string("Text.\r\n")), "Text.\r\n");
    EXPECT_EQ(lorvex::ErrorDescription("", std::string("Text.\r\n")), "Text.\r\n");
}

TEST(ClassTable, EveryClassWritesTheFullSetOfEntries) {
    const auto entry = lorvex::ClassRegistrationOf("EventLog", "{2BDD82D6-D5F1-11D2-9679-0000F8770C8E}",
                                                   "{35D78BF0-D5A4-11D2-9679-0000F8770C8E}");
    const auto values = vantrel::com::ClassValues(entry, "C:\\Vantrel\\Lorvex.dll");
    auto find = [&](const std::string& key, const std::string& name) {
        return std::find_if(values.begin(), values.end(),
                            [&](const vantrel::com::RegistryValue& v) { return v.key == key && v.name == name; });
    };
    const std::string clsid_key = "CLSID\\{2BDD82D6-D5F1-11D2-9679-0000F8770C8E}";
    ASSERT_NE(find("Lorvex.EventLog\\CurVer", ""), values.end());
    EXPECT_EQ(find("Lorvex.EventLog\\CurVer", "")->data, "Lorvex.EventLog.1");
    EXPECT_EQ(find("Lorvex.EventLog.1", "")->data, "EventLog Class");
    EXPECT_EQ(find(clsid_key + "\\InprocServer32", "")->data, "C:\\Vantrel\\Lorvex.dll");
    EXPECT_EQ(find(clsid_key + "\\InprocServer32", "ThreadingModel")->data, "Apartment");
    EXPECT_TRUE(find(clsid_key + "\\Programmable", "")->key_only);
    EXPECT_EQ(find("AppID\\{2BDD82D6-D5F1-11D2-9679-0000F8770C8E}", "DllSurrogate")->data, "");
    EXPECT_EQ(find(clsid_key, "Version"), values.end());
    // Every key written, by this class and by a control with a plain ProgID, is under one
    // of the keys that unregistration deletes.
    vantrel::com::ClassRegistration control;
    control.clsid = "{D6961846-CA78-11D2-9A37-00000100C2E6}";
    control.prog_id = "Dovrin.VuRURazerir";
    control.control = true;
    for (const auto& c : {entry, control}) {
        const auto keys = vantrel::com::ClassKeys(c);
        for (const auto& v : vantrel::com::ClassValues(c, "C:\\Vantrel\\Lorvex.dll")) {
            bool covered = std::any_of(keys.begin(), keys.end(), [&](const std::string& k) {
                return v.key == k || v.key.rfind(k + "\\", 0) == 0;
            });
            EXPECT_TRUE(covered) << v.key;
        }
    }
}

}  // namespace

#include "core/retention.h"
#include "core/source_name.h"

namespace {

TEST(SourceName, IsTheModuleFileNameWithoutExtension) {
    EXPECT_EQ(lorvex::DefaultSourceName("C:\\Tools\\Monitor.exe"), "Monitor");
    EXPECT_EQ(lorvex::DefaultSourceName("C:\\Tools\\my.app.exe"), "my.app");
    EXPECT_EQ(lorvex::DefaultSourceName("Monitor.exe"), "Monitor");
    EXPECT_EQ(lorvex::DefaultSourceName("C:\\Tools\\Monitor"), "C:\\Tools\\Monitor");  // no extension: whole path
    EXPECT_EQ(lorvex::DefaultSourceName(".profile"), ".profile");  // the first character is never a cut
    EXPECT_EQ(lorvex::DefaultSourceName(""), "");
}

TEST(Retention, MapsBothWaysAndKeepsThePeriodOfOlderThan) {
    auto o = lorvex::OverwriteFromRetention(300);
    EXPECT_EQ(o.mode, lorvex::kOverwriteOlderThan);
    EXPECT_EQ(o.period, 300);
    o = lorvex::OverwriteFromRetention(0xFFFFFFFFu);
    EXPECT_EQ(o.mode, lorvex::kNoOverwrite);
    EXPECT_EQ(o.period, 0);
    o = lorvex::OverwriteFromRetention(0);
    EXPECT_EQ(o.mode, lorvex::kOverwriteAsNeeded);
    EXPECT_EQ(o.period, 0);
    EXPECT_EQ(lorvex::RetentionFromOverwrite({lorvex::kOverwriteAsNeeded, 120}), 0u);
    EXPECT_EQ(lorvex::RetentionFromOverwrite({lorvex::kOverwriteOlderThan, 120}), 120u);
    EXPECT_EQ(lorvex::RetentionFromOverwrite({lorvex::kNoOverwrite, 120}), 0xFFFFFFFFu);
    EXPECT_EQ(lorvex::RetentionFromOverwrite({7, 60}), 60u);
}

}  // namespace
