// Mail still queued when the service ends is named once, by subject, and only that mail.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quenloc
