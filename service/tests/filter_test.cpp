// The type switches and the include/exclude list walk of the NewLogEntry handlers.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/entry_filter.h"
#include "core/notification.h"
#include "core/run_time_error.h"
#include "fake_record.h"

namespace quenloc {
namespace {

using testing::FakeRecord;

const LogHandler& App() { return kLogHandlers[0]; }
const LogHandler& Security() { return kLogHandlers[1]; }

// Stand-ins for the platform's conversions: decimal numbers only, with "9e999" too large;
// upper case for ASCII and the one code-page letter the tests use (0xE9 e acute).
double PlainNumber(const std::string& text) {
    if (text == "9e999") throw vantrel::common::RunTimeError(6, "Overflow");
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size()) throw vantrel::common::RunTimeError(13, "Type mismatch");
    return value;
}
std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c == '\xE9') c = '\xC9';
    }
    return text;
}
const TextRules kRules{PlainNumber, Upper};

struct Outcome {
    std::vector<std::string> debug;
    int sent = 0;
    int yields = 0;
};

// Runs the filter with statements that let errors through, as a tail that leaves would.
Outcome RunFilter(const LogHandler& h, const FilterSettings& s, const std::vector<std::string>& list, FakeRecord& r) {
    Outcome o;
    FilterHooks hooks;
    hooks.statement = [](const std::function<void()>& f) { f(); };
    hooks.debug = [&](const std::string& t) { o.debug.push_back(t); };
    hooks.yield = [&] { ++o.yields; };
    hooks.send = [&] { ++o.sent; };
    hooks.text = kRules;
    FilterEntry(h, s, list, r, hooks);
    return o;
}

FilterSettings AllOn(const std::string& mode) { return {"1", "1", "1", mode}; }

TEST(TypeSwitches, SwitchedOffTypesAreDroppedSilentlyExceptBySecurity) {
    FakeRecord r;
    r.type = "Information";
    FilterSettings s{"0", "1", "1", "E"};
    Outcome o = RunFilter(App(), s, {}, r);
    EXPECT_EQ(o.sent, 0);
    EXPECT_TRUE(o.debug.empty());

    s.info = "";  // absent reads as empty: off
    o = RunFilter(Security(), s, {}, r);
    EXPECT_EQ(o.sent, 0);
    EXPECT_EQ(o.debug, (std::vector<std::string>{"Start SecurityLogMonitor_NewEntry",
                                                 "SecurityLogMonitor_NewLogEntry Not Monitoring Info Events"}));
    r.type = "Warning";
    s.warning = "1 ";  // only exactly "1" is on
    o = RunFilter(Security(), s, {}, r);
    EXPECT_EQ(o.debug.back(), "SecurityLogMonitor_NewLogEntry Not Monitoring Warning Events");
    r.type = "error";  // types compare with case: this is an "other" type and passes
    s.error = "0";
    o = RunFilter(App(), s, {}, r);
    EXPECT_EQ(o.sent, 1);
}

TEST(TypeSwitches, AuditTypesPassWhateverTheSwitchesSay) {
    FakeRecord r;
    r.type = "Audit Failure";
    FilterSettings s{"0", "0", "0", "E"};
    Outcome o = RunFilter(kLogHandlers[2], s, {}, r);
    EXPECT_EQ(o.sent, 1);
    EXPECT_EQ(o.debug, (std::vector<std::string>{"SystemLogMonitor_NewLogEntry Monitoring Other Events : Audit Failure",
                                                 "Applog Exclude Match By No Exclusions In List"}));
    EXPECT_EQ(r.type_reads, 2);  // read again for the debug text
}

TEST(EmptyList, ExcludeSendsEverythingIncludeAndOtherModesNothing) {
    FakeRecord r;
    EXPECT_EQ(RunFilter(App(), AllOn("E"), {}, r).sent, 1);
    Outcome o = RunFilter(App(), AllOn("I"), {}, r);
    EXPECT_EQ(o.sent, 0);
    EXPECT_EQ(o.debug, std::vector<std::string>{"Exit AppLogMonitor_NewLogEntry"});
    o = RunFilter(Security(), AllOn("I"), {}, r);
    EXPECT_EQ(o.debug.back(), "Exit SecurityLogMonitor_NewLogEntry");
    for (const char* mode : {"", "e", "X", "I "}) {
        o = RunFilter(App(), AllOn(mode), {"Disk", "Disk\t11"}, r);
        EXPECT_EQ(o.sent, 0) << mode;
        EXPECT_EQ(o.yields, 0) << mode;
    }
}

TEST(IncludeList, MatchesBySourceIgnoringCaseAndByNumber) {
    FakeRecord r;
    r.source = "Service Control Manager";
    r.event_code = 100;
    r.event_id = static_cast<int32_t>(0xC0000064u);
    Outcome o = RunFilter(App(), AllOn("I"), {"service CONTROL manager"}, r);
    EXPECT_EQ(o.sent, 1);
    EXPECT_EQ(o.debug, std::vector<std::string>{"Applog Match By Source Only"});

    o = RunFilter(App(), AllOn("I"), {"Service Control Manager\t"}, r);  // trailing TAB: source only
    EXPECT_EQ(o.debug, std::vector<std::string>{"Applog Match By Source Only"});

    o = RunFilter(Security(), AllOn("I"), {"Service Control Manager\t0100"}, r);  // EventCode, as a number
    EXPECT_EQ(o.sent, 1);
    EXPECT_EQ(o.debug.back(), "Securitylog Match By Source And Event ID");

    o = RunFilter(App(), AllOn("I"), {"Service Control Manager\t101", "Other\t100", "Service Control Manager\t100\tx"}, r);
    EXPECT_EQ(o.sent, 1);
    EXPECT_EQ(o.yields, 2);  // after each line that did not match
}

TEST(IncludeList, FirstMatchDecidesAndNotifiesOnce) {
    FakeRecord r;
    Outcome o = RunFilter(App(), AllOn("I"), {"Disk\t11", "Disk", "disk"}, r);
    EXPECT_EQ(o.sent, 1);
    EXPECT_EQ(o.debug, std::vector<std::string>{"Applog Match By Source And Event ID"});
    EXPECT_EQ(o.yields, 0);
}

TEST(IncludeList, NumberThatIsNoNumberFailsForEverySource) {
    FakeRecord r;
    r.source = "Unrelated";
    for (const char* line : {"Disk\televen", "Disk\t9e999"}) {
        try {
            RunFilter(App(), AllOn("I"), {line}, r);
            FAIL() << "no error for " << line;
        } catch (const vantrel::common::RunTimeError& e) {
            EXPECT_EQ(e.number, std::string(line) == "Disk\televen" ? 13 : 6) << line;
        }
    }
}

TEST(IncludeList, AStatementTheTailSkipsLetsTheWalkGoOn) {
    FakeRecord r;
    Outcome o;
    FilterHooks hooks;
    hooks.statement = [](const std::function<void()>& f) {
        try { f(); } catch (...) {}  // answer 2: go on with the next statement
    };
    hooks.debug = [&](const std::string& t) { o.debug.push_back(t); };
    hooks.yield = [&] { ++o.yields; };
    hooks.send = [&] { ++o.sent; };
    hooks.text = kRules;
    FilterEntry(App(), AllOn("I"), {"Disk\tbad", "Disk\t11"}, r, hooks);
    EXPECT_EQ(o.sent, 1);
}

TEST(ExcludeList, MatchingEntriesAreDroppedOthersSent) {
    FakeRecord r;
    Outcome o = RunFilter(App(), AllOn("E"), {"Other", "DISK"}, r);
    EXPECT_EQ(o.sent, 0);
    EXPECT_TRUE(o.debug.empty());
    o = RunFilter(App(), AllOn("E"), {"Disk\t12"}, r);
    EXPECT_EQ(o.sent, 1);
    EXPECT_EQ(o.debug, std::vector<std::string>{"Applog Exclude Match By Source And Event ID"});
    o = RunFilter(Security(), AllOn("E"), {"Disk\t12", "Tcpip"}, r);  // the list's last line picks the text
    EXPECT_EQ(o.sent, 1);
    EXPECT_EQ(o.debug.back(), "Securitylog Exclude Match By Source Only");
    EXPECT_EQ(o.yields, 0);
}

TEST(ExcludeList, ALineWhoseNumberCannotBeEvaluatedExcludesNothing) {
    FakeRecord r;  // Disk, event 11
    // Before a line that would exclude, after it, and with the entry's own source.
    for (std::vector<std::string> list : {std::vector<std::string>{"Other\tabc", "Disk\t11"},
                                          std::vector<std::string>{"Disk\t11", "Other\t9e999"}}) {
        Outcome o = RunFilter(App(), AllOn("E"), list, r);
        EXPECT_EQ(o.sent, 0) << list[0];
    }
    for (const char* bad : {"Disk\tabc", "Disk\t9e999", "Other\tabc"}) {
        Outcome o = RunFilter(App(), AllOn("E"), {bad, "Tcpip\t4"}, r);
        EXPECT_EQ(o.sent, 1) << bad;
        EXPECT_EQ(o.debug, std::vector<std::string>{"Applog Exclude Match By Source And Event ID"}) << bad;
    }
}

TEST(Lists, SourcesCompareInTheCodePagesUpperCase) {
    FakeRecord r;
    r.source = "\xC9vent Writer";  // E acute
    EXPECT_EQ(RunFilter(App(), AllOn("E"), {"\xE9VENT writer"}, r).sent, 0);
    EXPECT_EQ(RunFilter(App(), AllOn("I"), {"\xE9vent Writer\t11"}, r).sent, 1);
    EXPECT_EQ(RunFilter(App(), AllOn("I"), {"Event Writer"}, r).sent, 0);
}

TEST(ExcludeList, UnusableLinesAreNamedOnceWithTheirError) {
    const std::vector<std::string> list = {"A\t5", "OtherSource\tabc", "C", "D\t", "E\t9e999\tx"};
    std::vector<UnusableLine> bad = UnusableListLines(list, kRules);
    ASSERT_EQ(bad.size(), 2u);
    EXPECT_EQ(bad[0].line, 2u);
    EXPECT_EQ(bad[1].line, 5u);
    EXPECT_EQ(UnusableLinesWarning(bad, false),
              "Exclusion list lines whose event number cannot be evaluated exclude nothing: "
              "line 2 \"OtherSource<TAB>abc\" (Type mismatch); line 5 \"E<TAB>9e999<TAB>x\" (Overflow).");
    EXPECT_EQ(UnusableLinesWarning({}, false), "");

    // Control characters never reach the log's text; long lines and long lists are cut.
    std::vector<std::string> noise(25, std::string("S\0\x01\t", 4) + std::string(100, '7') + "x");
    bad = UnusableListLines(noise, kRules);
    ASSERT_EQ(bad.size(), 25u);
    const std::string warning = UnusableLinesWarning(bad, false);
    EXPECT_NE(warning.find("line 1 \"S?" "?<TAB>" + std::string(56, '7') + "...\" (Type mismatch); line 2 "),
              std::string::npos)
        << warning;
    EXPECT_NE(warning.find("line 10 "), std::string::npos);
    EXPECT_EQ(warning.find("line 11 "), std::string::npos);
    EXPECT_NE(warning.find("; and 15 more."), std::string::npos);
    EXPECT_EQ(warning.find('\0'), std::string::npos);
}

// What a receiver sees of an error entry of each log, taken the way the service takes it:
// the handler of the log's place in start order filters it and hands its label to the
// notification. Receivers filter on these labels and facilities, so a handler in the
// wrong place or a label spelled otherwise sends a log's entries under another name.
TEST(Handlers, EachLogIsNotifiedUnderItsOwnLabelAndFacility) {
    const char* const expected[6] = {
        "<11>Application Log - 42 - ",  // Application
        "<83>SecurityLog - 42 - ",      // Security
        "<27>System Log - 42 - ",       // System
        "<139>DSLog - 42 - ",           // Directory Service
        "<3>DNSLog - 42 - ",            // DNS Server
        "<131>FRSLog - 42 - ",          // File Replication Service
    };
    for (size_t log = 0; log < 6; ++log) {
        SCOPED_TRACE(log);
        FakeRecord r;
        std::vector<std::string> arguments;
        DeliveryHooks delivery;
        delivery.setting = [](const std::string& name) { return name == "SendSyslogMessage" ? "1" : ""; };
        delivery.recipients = [](std::string&) { return std::string(); };
        delivery.decrypt = [](const std::string& s) { return s; };
        delivery.mail_set = [](MailProperty, const std::string&) {};
        delivery.mail_send = [] {};
        delivery.start_sender = [&](const std::string& a) { arguments.push_back(a); };
        delivery.debug = [](const std::string&) {};
        const LogHandler& handler = kLogHandlers[log];
        std::vector<std::string> debug;
        FilterHooks hooks;
        hooks.statement = [](const std::function<void()>& f) { f(); };
        hooks.debug = [&](const std::string& t) { debug.push_back(t); };
        hooks.yield = [] {};
        hooks.send = [&] { ShowEventDescription(r, handler.label, delivery); };
        hooks.text = kRules;
        FilterEntry(handler, AllOn("E"), {}, r, hooks);
        EXPECT_EQ(arguments, std::vector<std::string>{expected[log]});
        // Only the Security log's handler speaks of itself by its own texts.
        EXPECT_EQ(debug.front() == "Start SecurityLogMonitor_NewEntry", log == 1) << debug.front();
    }
}

}  // namespace
}  // namespace quenloc
