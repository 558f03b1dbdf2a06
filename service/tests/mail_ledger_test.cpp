// Mail still queued when the service ends is named once, by subject, and only that mail,
// whatever order the control's answers come in.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/mail_ledger.h"

namespace quenloc {
namespace {

std::string Subject(int record) { return "Computer: A - Record Number: " + std::to_string(record) + " - t"; }

TEST(MailLedger, EachAnswerTakesItsOwnMailWhateverItsOrder) {
    MailLedger ledger;
    EXPECT_TRUE(ledger.empty());
    EXPECT_EQ(ledger.UnsentText(), "");
    for (uint32_t n = 1; n <= 4; ++n) ledger.Handed(n, Subject(static_cast<int>(n)));
    // The newest fails first (the control's queue was full), then one in the middle.
    ledger.Answered(4);
    ledger.Answered(2);
    EXPECT_EQ(ledger.UnsentText(),
              "Service stopped before 2 mails were sent: \"" + Subject(1) + "\"; \"" + Subject(3) + "\"");
    // An answer to a mail that is not waiting (answered already, or never handed) changes nothing.
    ledger.Answered(2);
    ledger.Answered(99);
    EXPECT_EQ(ledger.UnsentText(),
              "Service stopped before 2 mails were sent: \"" + Subject(1) + "\"; \"" + Subject(3) + "\"");
    ledger.Answered(1);
    EXPECT_EQ(ledger.UnsentText(), "Service stopped before 1 mail was sent: \"" + Subject(3) + "\"");
    ledger.Answered(3);
    EXPECT_TRUE(ledger.empty());
    EXPECT_EQ(ledger.UnsentText(), "");
}

TEST(MailLedger, AControlWithoutNumbersAnswersTheOldestFirst) {
    MailLedger ledger;
    ledger.Handed(0, Subject(1));
    ledger.Handed(0, Subject(2));
    ledger.Answered(0);
    EXPECT_EQ(ledger.UnsentText(), "Service stopped before 1 mail was sent: \"" + Subject(2) + "\"");
    ledger.Answered(0);
    ledger.Answered(0);  // the control's own outcome, with nothing handed over
    EXPECT_TRUE(ledger.empty());
}

TEST(MailLedger, AFullQueueBehindAServerThatIsDownNamesTheOldestWithinOneLogLine) {
    // The control keeps 2,000 mails for a server that is down; the ten handed over beyond
    // that fail at once, before any of the older ones is answered.
    MailLedger ledger;
    for (uint32_t n = 1; n <= 2010; ++n) {
        ledger.Handed(n, "Computer: SRV1 - Record Number: " + std::to_string(573 + n) + " - t");
        if (n > 2000) ledger.Answered(n);
    }
    const std::string text = ledger.UnsentText();
    EXPECT_LE(text.size(), kMaxUnsentTextChars + 20);
    EXPECT_EQ(text.rfind("Service stopped before 2000 mails were sent: \"Computer: SRV1 - Record Number: 574 - t\"; "
                         "\"Computer: SRV1 - Record Number: 575 - t\"; ",
                         0),
              0u)
        << text.substr(0, 200);
    const size_t named = static_cast<size_t>(std::count(text.begin(), text.end(), '"')) / 2;
    EXPECT_GT(named, 100u);
    EXPECT_EQ(text.substr(text.rfind("; and ")), "; and " + std::to_string(2000 - named) + " more");
    EXPECT_EQ(text.find("Record Number: 2574 "), std::string::npos);
}

}  // namespace
}  // namespace quenloc
