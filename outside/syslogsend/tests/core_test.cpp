// syslogsend's portable core: argument, destination, message, framing and the spool.
#include <gtest/gtest.h>

#include <functional>

#include "core/spool.h"
#include "core/syslog_message.h"

using namespace syslogsend;

namespace {

TEST(Argument, PriorityInAnglesThenAnyText) {
    auto a = ParseArgument("<14>Test Message From Vantrel");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->priority, 14);
    EXPECT_EQ(a->text, "Test Message From Vantrel");
    auto quoted = ParseArgument("<142>DSLog - 7 - say \"x\"\r\nnext <line>");
    ASSERT_TRUE(quoted);
    EXPECT_EQ(quoted->priority, 142);
    EXPECT_EQ(quoted->text, "DSLog - 7 - say \"x\"\r\nnext <line>");
    EXPECT_EQ(ParseArgument("<0>")->text, "");
    EXPECT_EQ(ParseArgument("<191>x")->priority, 191);
    for (const char* bad : {"", "14>x", "<>x", "<1a>x", "<192>x", "<014>x", "<1234>x", "<14", "text"})
        EXPECT_FALSE(ParseArgument(bad)) << bad;
}

TEST(Destination, ProtocolPortAndServerRules) {
    ExitStatus status = kSent;
    auto d = ParseDestination("logs.example", "", "TCP", status);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->port, 514);
    EXPECT_FALSE(d->udp);
    EXPECT_TRUE(ParseDestination("h", "5514", "UDP", status)->udp);
    EXPECT_EQ(ParseDestination("h", "5514", "UDP", status)->port, 5514);
    // Only "UDP" exactly selects UDP.
    EXPECT_FALSE(ParseDestination("h", "1", "udp", status)->udp);
    EXPECT_FALSE(ParseDestination("h", "1", "", status)->udp);
    EXPECT_FALSE(ParseDestination("", "514", "UDP", status));
    EXPECT_EQ(status, kNoServer);
    for (const char* bad : {"0", "65536", "51x", "-1", " 514", "100000"}) {
        status = kSent;
        EXPECT_FALSE(ParseDestination("h", bad, "TCP", status)) << bad;
        EXPECT_EQ(status, kBadPort) << bad;
    }
    EXPECT_EQ(ParseDestination("h", "65535", "TCP", status)->port, 65535);
}

TEST(Message, Rfc3164HeaderAndOctetCounting) {
    LocalTime t{12, 9, 5, 7, 3};
    EXPECT_EQ(ComposeMessage(14, t, "SERVER01", "Debug point 1"), "<14>Dec  9 05:07:03 SERVER01 Vantrel: Debug point 1");
    LocalTime t2{1, 31, 23, 59, 59};
    EXPECT_EQ(ComposeMessage(0, t2, "host.example.com", ""), "<0>Jan 31 23:59:59 host Vantrel: ");
    EXPECT_EQ(ComposeMessage(3, t2, "my host", "x"), "<3>Jan 31 23:59:59 my-host Vantrel: x");
    EXPECT_EQ(ComposeMessage(3, t2, "", "x"), "<3>Jan 31 23:59:59 - Vantrel: x");
    EXPECT_EQ(FrameOctetCounting("<14>a\nb"), "7 <14>a\nb");
    EXPECT_EQ(FrameOctetCounting(""), "0 ");
}

}  // namespace

namespace spool_tests {

Spool Filled(size_t count, size_t limit = kSpoolLimit) {
    Spool s;
    for (size_t i = 1; i <= count; ++i) AddMessage(s, "message " + std::to_string(i), limit);
    return s;
}

TEST(Spool, BoundDropsTheOldestAndCountsThemUntilReported) {
    Spool s = Filled(kSpoolLimit);
    EXPECT_EQ(s.dropped, 0u);
    Addition a = AddMessage(s, "one too many");
    EXPECT_TRUE(a.rewrite);
    ASSERT_EQ(s.messages.size(), kSpoolLimit);
    EXPECT_EQ(s.messages.front().message, "message 2");
    EXPECT_EQ(s.messages.back().message, "one too many");
    EXPECT_EQ(s.dropped, 1u);
    for (int i = 0; i < 4; ++i) AddMessage(s, "more");
    EXPECT_EQ(s.dropped, 5u);
    // The count survives the file.
    Spool back = ParseSpool(EncodeSpool(s));
    EXPECT_EQ(back.dropped, 5u);
    ASSERT_EQ(back.messages.size(), kSpoolLimit);
    EXPECT_EQ(back.messages.front().message, "message 6");
    // Two more dropped while the notice of five and ten messages were on their way: two
    // remain to be told, and the eight delivered that were not dropped go.
    const DeliveredMark mark = MarkDelivery(back, 10);
    AddMessage(back, "x");
    AddMessage(back, "y");
    RemoveDelivered(back, mark);
    EXPECT_EQ(back.dropped, 2u);
    ASSERT_EQ(back.messages.size(), kSpoolLimit - 8);
    EXPECT_EQ(back.messages.front().message, "message 16");
}

TEST(Spool, AppendsKeepOrderAndOnlyTheDeliveredGo) {
    Spool s;
    std::string file;
    for (int i = 1; i <= 5; ++i) {
        Spool now = ParseSpool(file);
        Addition a = AddMessage(now, "m" + std::to_string(i));
        ASSERT_FALSE(a.rewrite);
        file += a.record;
    }
    Spool read = ParseSpool(file);
    ASSERT_EQ(read.messages.size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(read.messages[i].message, "m" + std::to_string(i + 1));
    // Three were delivered while a sixth was appended behind them.
    const DeliveredMark mark = MarkDelivery(read, 3);
    file += AddMessage(read, "m6").record;
    Spool after = ParseSpool(file);
    RemoveDelivered(after, mark);
    ASSERT_EQ(after.messages.size(), 3u);
    EXPECT_EQ(after.messages[0].message, "m4");
    EXPECT_EQ(after.messages[2].message, "m6");
}

TEST(Spool, DamageCostsOnlyTheDamagedRecord) {
    const std::string text = "<11>Dec  9 05:07:03 H Vantrel: System Log - 7 - line\r\nVtSp inside";
    std::string whole;
    Spool s;
    for (int i = 0; i < 3; ++i) whole += AddMessage(s, text + std::to_string(i)).record;
    const size_t third = whole.size() - s.messages.back().message.size() - 24;
    // A sender killed while it wrote the third record, at every byte.
    for (size_t cut = third + 1; cut < whole.size(); ++cut) {
        Spool torn = ParseSpool(whole.substr(0, cut));
        ASSERT_EQ(torn.messages.size(), 2u) << cut;
        EXPECT_EQ(torn.messages[1].message, text + "1");
        EXPECT_NE(torn.damaged, 0u);
        // The next sender appends behind the torn record, and its message is read back.
        Addition a = AddMessage(torn, "next");
        EXPECT_TRUE(a.rewrite);
        Spool appended = ParseSpool(whole.substr(0, cut) + EncodeMessageRecord(9, "next"));
        ASSERT_EQ(appended.messages.size(), 3u) << cut;
        EXPECT_EQ(appended.messages[2].message, "next");
    }
    // A changed byte in the middle record's text or length loses that record alone.
    for (size_t at : {third - 3, third - s.messages[1].message.size() - 24 + 16}) {
        std::string bad = whole;
        bad[at] = static_cast<char>(bad[at] ^ 0x5A);
        Spool read = ParseSpool(bad);
        ASSERT_EQ(read.messages.size(), 2u) << at;
        EXPECT_EQ(read.messages[0].message, text + "0");
        EXPECT_EQ(read.messages[1].message, text + "2");
    }
    // A length field far beyond the file, and bytes that are no spool at all.
    std::string huge = whole;
    huge[16] = huge[17] = huge[18] = huge[19] = '\xFF';
    EXPECT_EQ(ParseSpool(huge).messages.size(), 2u);
    EXPECT_TRUE(ParseSpool(std::string(1000, 'V')).messages.empty());
}

// What the sender that stays behind sends of a spool file until it is empty: the notice and
// up to a batch per connection, then the file written anew or, where another program keeps
// it from being replaced, a mark appended. `meanwhile` runs while a batch is on its way.
struct Sent {
    std::vector<std::string> texts;
    int connections = 0;
};
Sent DeliverAll(std::string& file, bool rewrite_fails, const std::function<void(std::string&, int)>& meanwhile = {}) {
    Sent sent;
    while (sent.connections < 1000) {
        const Spool pending = ParseSpool(file);
        if (pending.messages.empty() && !pending.dropped && !pending.damaged) break;
        ++sent.connections;
        if (pending.dropped || pending.damaged) sent.texts.push_back(DropNoticeText(pending.dropped, pending.damaged));
        const size_t count = std::min(pending.messages.size(), kBatch);
        for (size_t i = 0; i < count; ++i) sent.texts.push_back(pending.messages[i].message);
        const DeliveredMark mark = MarkDelivery(pending, count);
        if (meanwhile) meanwhile(file, sent.connections);
        if (rewrite_fails) {
            file += EncodeMarkRecord(mark);
        } else {
            Spool now = ParseSpool(file);
            RemoveDelivered(now, mark);
            file = EncodeSpool(now);
        }
    }
    return sent;
}

std::vector<std::string> Texts(const std::string& prefix, size_t count) {
    std::vector<std::string> texts;
    for (size_t i = 0; i < count; ++i) texts.push_back(prefix + std::to_string(i));
    return texts;
}

TEST(Spool, CraftedNumbersAreEachDeliveredOnceInBoundedWork) {
    constexpr uint64_t kTop = UINT64_MAX;
    const std::vector<std::vector<uint64_t>> numberings = {{1, kTop}, {10, 3}, {5, 5, 5}, {kTop, kTop - 1, 0}};
    for (bool rewrite_fails : {false, true}) {
        for (const auto& numbers : numberings) {
            std::string file;
            std::vector<std::string> expected = Texts("crafted ", numbers.size());
            for (size_t i = 0; i < numbers.size(); ++i) file += EncodeMessageRecord(numbers[i], expected[i]);
            // A sender adds its message behind them while they are on their way.
            Sent sent = DeliverAll(file, rewrite_fails, [](std::string& f, int connection) {
                if (connection == 1) {
                    Spool s = ParseSpool(f);
                    f += AddMessage(s, "added").record;
                }
            });
            expected.push_back("added");
            EXPECT_EQ(sent.texts, expected) << numbers.front() << " rewrite fails: " << rewrite_fails;
            EXPECT_LE(sent.connections, 2) << numbers.front() << " rewrite fails: " << rewrite_fails;
        }
    }
}

// A viewer, backup agent or scanner that holds the file keeps it from being replaced; what
// was delivered must still never go again, and each count is told once.
TEST(Spool, DeliveredStaysDeliveredWhereTheFileCannotBeReplaced) {
    Spool left;
    left.dropped = 3;
    for (const auto& text : Texts("old ", 250)) AddMessage(left, text);
    std::string file = EncodeSpool(left);
    // A sender was ended while it wrote behind them.
    file += EncodeMessageRecord(999, "torn record").substr(0, 30);
    Sent sent = DeliverAll(file, true, [](std::string& f, int connection) {
        Spool s = ParseSpool(f);
        if (connection == 1) f += AddMessage(s, "added while the first batch went").record;
        // Another torn record, behind the first mark.
        if (connection == 2) f += EncodeMessageRecord(1000, "torn again").substr(0, 30);
    });
    std::vector<std::string> expected = {
        "4 messages were dropped: 3 while the syslog server could not be reached (the spool holds at most 10000), "
        "1 damaged in the spool (a sender ended while writing it, or another program changed it)"};
    for (const auto& text : Texts("old ", 250)) expected.push_back(text);
    expected.insert(expected.begin() + 1 + 200,
                    "1 message was dropped, damaged in the spool (a sender ended while writing it, or another "
                    "program changed it)");
    expected.push_back("added while the first batch went");
    EXPECT_EQ(sent.texts, expected);
    EXPECT_EQ(sent.connections, 3);
    // A file as the senders already installed write it: a drop count and two messages.
    const std::string installed(
        "VtSp\x02\0\0\0\x02\0\0\0\0\0\0\0\0\0\0\0\x25\x3d\x07\x2b"
        "VtSp\x01\0\0\0\x01\0\0\0\0\0\0\0\x0b\0\0\0\x19\x4e\x90\x44" "from before"
        "VtSp\x01\0\0\0\x02\0\0\0\0\0\0\0\x09\0\0\0\x82\xb1\xe5\x9c" "and after", 92);
    file = installed;
    sent = DeliverAll(file, true);
    EXPECT_EQ(sent.texts, (std::vector<std::string>{
        "2 messages were dropped while the syslog server could not be reached (the spool holds at most 10000)",
        "from before", "and after"}));
}

}  // namespace spool_tests
