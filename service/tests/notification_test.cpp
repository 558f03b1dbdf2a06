// Subject, body and syslog argument byte for byte, and which channels a notification uses.
#include <gtest/gtest.h>

#include <map>

#include "core/notification.h"
#include "core/syslog_text.h"
#include "fake_record.h"

namespace quenloc {
namespace {

using testing::FakeRecord;

TEST(Notification, RecordWithDescription) {
    FakeRecord r;
    r.description = "The device did not respond.";
    r.event_id = static_cast<int32_t>(0xC004000Bu);
    r.event_code = 11;
    r.category = 3;
    Notification n = BuildNotification(r);
    EXPECT_EQ(n.subject, "Computer: ATLAS - Record Number: 42 - 12/9/2026 5:58:42 AM");
    EXPECT_EQ(n.body,
              "The device did not respond.\r\n\r\nEvent Type: Error\r\nEvent Source: Disk\r\n\r\n"
              "Time Generated: 12/9/2026 5:58:42 AM\r\nTime Written: 12/9/2026 5:58:43 AM\r\nCategory: 3\r\n"
              "Computer: ATLAS\r\nEvent ID: -1073479669\r\nEvent Code: 11\r\n"
              "Event Description: The device did not respond.\r\nUser Name: ATLAS\\ops");
}

TEST(Notification, MissingDescriptionWithAndWithoutStrings) {
    FakeRecord r;
    r.failing = {"EventDescription"};  // no message file: the read fails
    r.user = "";
    Notification n = BuildNotification(r);
    EXPECT_EQ(n.body.substr(0, n.body.find("\r\n")),
              "The description for Event ID ( 11 ) in Source ( Disk ) could not be found. "
              "It contains the following insertion string(s): .");
    EXPECT_NE(n.body.find("\r\nEvent Description: \r\nUser Name: "), std::string::npos);
    EXPECT_EQ(n.body.substr(n.body.size() - 11), "User Name: ");  // no line break after the last line

    r.failing.clear();
    r.description = "";  // an empty description counts as none
    r.strings = std::vector<std::string>{"\\Device\\Harddisk0", "7"};
    EXPECT_EQ(TextBlock(r), "The description for Event ID ( 11 ) in Source ( Disk ) could not be found. "
                            "It contains the following insertion string(s): \\Device\\Harddisk0, 7.");
}

TEST(Notification, FailingReadsLeaveOnlyTheirStatementEmpty) {
    FakeRecord r;
    r.description = "x";
    r.failing = {"ComputerName"};
    Notification n = BuildNotification(r);
    EXPECT_EQ(n.subject, "");
    EXPECT_EQ(n.body, "");
    r.failing = {"TimeWritten"};
    n = BuildNotification(r);
    EXPECT_NE(n.subject, "");
    EXPECT_EQ(n.body, "");
}

TEST(Notification, Priorities) {
    EXPECT_EQ(FacilityOfLabel("System Log"), 3);
    EXPECT_EQ(FacilityOfLabel("DNSLog"), 0);
    EXPECT_EQ(FacilityOfLabel("system log"), 0);
    EXPECT_EQ(FacilityOfLabel("DSLog"), 17);
    EXPECT_EQ(vantrel::common::SyslogPriority(FacilityOfLabel("Application Log"), SeverityOfType("Information")), 14);
    EXPECT_EQ(vantrel::common::SyslogPriority(FacilityOfLabel("SecurityLog"), SeverityOfType("Audit Success")), 80);
    EXPECT_EQ(SeverityOfType("Warning"), 4);
    EXPECT_EQ(SyslogArgument(27, "System Log", 9, "a \"b\"\r\nc"), "<27>System Log - 9 - a \"b\"\r\nc");
}

// Records every hook call.
struct Channels {
    std::map<std::string, std::string> settings;
    std::vector<std::string> calls;
    DeliveryHooks hooks;
    Channels() {
        hooks.smtp_server = "127.0.0.1:25";
        hooks.from_email = "vantrel@example.org";
        hooks.setting = [this](const std::string& name) {
            auto it = settings.find(name);
            return it == settings.end() ? std::string() : it->second;
        };
        hooks.recipients = [this](std::string& user) {
            calls.push_back("recipients " + user);
            return std::string("ops@example.org");
        };
        hooks.decrypt = [](const std::string& s) { return "plain:" + s; };
        hooks.mail_set = [this](MailProperty p, const std::string& v) {
            calls.push_back("set " + std::to_string(static_cast<int>(p)) + " " + v.substr(0, 20));
        };
        hooks.mail_send = [this] { calls.push_back("send"); };
        hooks.start_sender = [this](const std::string& a) { calls.push_back("syslog " + a); };
        hooks.debug = [this](const std::string& t) { calls.push_back("debug " + t); };
    }
};

TEST(Delivery, SwitchesOffTouchNothing) {
    FakeRecord r;
    Channels c;
    c.settings = {{"SendEmail", "0"}};
    ShowEventDescription(r, "System Log", c.hooks);
    EXPECT_EQ(c.calls, (std::vector<std::string>{"debug ShowEventDescription Start", "recipients ATLAS\\ops",
                                                  "debug Exit ShowEventDescription"}));

    // The service's own word that mail fails is not mailed again; syslog still has it.
    Channels own;
    own.settings = {{"SendEmail", "1"}, {"SendSyslogMessage", "1"}};
    own.hooks.no_mail = true;
    ShowEventDescription(r, "Application Log", own.hooks);
    size_t syslog = 0;
    for (const auto& call : own.calls) {
        EXPECT_FALSE(call.rfind("set ", 0) == 0 || call == "send") << call;
        syslog += call.rfind("syslog <", 0) == 0;
    }
    EXPECT_EQ(syslog, 1u);
}

TEST(Delivery, MailSetsAllSevenPropertiesThenSendsAndSyslogGoesOn) {
    FakeRecord r;
    r.description = "Disk \"C:\" failed\r\nline two";
    Channels c;
    c.settings = {{"SendEmail", "1"}, {"SendSyslogMessage", "1"}, {"Password", "xyz"}};
    c.hooks.mail_send = [&] {
        c.calls.push_back("send");
        throw std::runtime_error("control refused");  // skipped; syslog still runs
    };
    ShowEventDescription(r, "System Log", c.hooks);
    std::vector<std::string> expected{"debug ShowEventDescription Start",
                                      "recipients ATLAS\\ops",
                                      "set 0 127.0.0.1:25",
                                      "set 1 vantrel@example.org",
                                      "set 2 ops@example.org",
                                      "set 3 Computer: ATLAS - Re",
                                      "set 4 Disk \"C:\" failed\r\nli",
                                      "set 5 ",
                                      "set 6 plain:xyz",
                                      "send",
                                      "debug ShowEventDescription After SendMessage",
                                      "debug ShowEventDescription Before Sending Syslog Message",
                                      "syslog <27>System Log - 42 - Disk \"C:\" failed\r\nline two",
                                      "debug ShowEventDescription After Sending Syslog Message",
                                      "debug Exit ShowEventDescription"};
    EXPECT_EQ(c.calls, expected);
}

TEST(Delivery, FailingSenderAndDebugDoNotStopTheNotification) {
    FakeRecord r;
    r.type = "Audit Success";
    r.failing = {"EventDescription"};
    Channels c;
    c.settings = {{"SendSyslogMessage", "1"}};
    c.hooks.debug = [](const std::string&) { throw std::runtime_error("no sender"); };
    std::string argument;
    c.hooks.start_sender = [&](const std::string& a) { argument = a; };
    ShowEventDescription(r, "SecurityLog", c.hooks);
    EXPECT_EQ(argument, "<80>SecurityLog - 42 - ");
}

}  // namespace
}  // namespace quenloc
