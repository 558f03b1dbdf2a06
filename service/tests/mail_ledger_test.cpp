// Mail still queued when the service ends is named once, by subject, and only that mail.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/mail_ledger.h"

namespace quenloc {
namespace {

TEST(MailLedger, NamesExactlyTheMailsWithoutAnOutcome) {
    MailLedger ledger;
    EXPECT_TRUE(ledger.empty());
    EXPECT_EQ(ledger.UnsentText(), "");
    ledger.Handed("Computer: A - Record Number: 1 - t");
    ledger.Handed("Computer: A - Record Number: 2 - t");
    ledger.Handed("Computer: A - Record Number: 3 - t");
    ledger.Answered();  // outcomes come in the order the mails were handed over
    EXPECT_FALSE(ledger.empty());
    EXPECT_EQ(ledger.UnsentText(), "Service stopped before 2 mails were sent: \"Computer: A - Record Number: 2 - t\"; "
                                   "\"Computer: A - Record Number: 3 - t\"");
    ledger.Answered();
    EXPECT_EQ(ledger.UnsentText(), "Service stopped before 1 mail was sent: \"Computer: A - Record Number: 3 - t\"");
    ledger.Answered();
    EXPECT_TRUE(ledger.empty());
    EXPECT_EQ(ledger.UnsentText(), "");
    // An outcome with nothing handed over (the control's own) changes nothing.
    ledger.Answered();
    EXPECT_TRUE(ledger.empty());
    ledger.Handed("late");
    EXPECT_FALSE(ledger.empty());
}

TEST(MailLedger, AQueueHeldByAServerThatIsDownIsNamedWithinOneLogLine) {
    // The mail control keeps up to 2,000 mails for a server that is down.
    MailLedger ledger;
    for (int i = 1; i <= 2000; ++i) ledger.Handed("Computer: SRV1 - Record Number: " + std::to_string(i) + " - t");
    const std::string text = ledger.UnsentText();
    EXPECT_LE(text.size(), kMaxUnsentTextChars + 20);
    EXPECT_EQ(text.rfind("Service stopped before 2000 mails were sent: \"Computer: SRV1 - Record Number: 1 - t\"; ", 0),
              0u);
    const size_t named = static_cast<size_t>(std::count(text.begin(), text.end(), '"')) / 2;
    EXPECT_GT(named, 100u);
    EXPECT_EQ(text.substr(text.rfind("; and ")), "; and " + std::to_string(2000 - named) + " more");
}

}  // namespace
}  // namespace quenloc
