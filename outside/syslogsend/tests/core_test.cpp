// syslogsend's portable core: argument, destination, message and framing.
#include <gtest/gtest.h>

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
