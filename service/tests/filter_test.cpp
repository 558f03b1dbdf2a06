// The type switches and the include/exclude list walk of the NewLogEntry handlers.
#include <gtest/gtest.h>

#include "core/entry_filter.h"
#include "core/run_time_error.h"
#include "fake_record.h"

namespace quenloc {
namespace {

using testing::FakeRecord;

const LogHandler& App() { return kLogHandlers[0]; }
const LogHandler& Security() { return kLogHandlers[1]; }

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
    try {
        RunFilter(App(), AllOn("I"), {"Disk\televen"}, r);
        FAIL() << "no error";
    } catch (const vantrel::common::RunTimeError& e) {
        EXPECT_EQ(e.number(), 13);
    }
    EXPECT_EQ(EventNumberValue(" 7 "), 7.0);
    EXPECT_THROW(EventNumberValue("0x10"), vantrel::common::RunTimeError);
    EXPECT_THROW(EventNumberValue("nan"), vantrel::common::RunTimeError);
    EXPECT_THROW(EventNumberValue(""), vantrel::common::RunTimeError);
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

TEST(Handlers, LabelsAndOrder) {
    EXPECT_STREQ(kLogHandlers[2].label, "System Log");
    EXPECT_STREQ(kLogHandlers[4].label, "DNSLog");
    EXPECT_STREQ(kLogHandlers[1].label, "SecurityLog");
}

}  // namespace
}  // namespace quenloc
