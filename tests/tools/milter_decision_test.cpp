// What the agent left in the queue, read back as the changes the milter asks of the MTA.

#include "milter_decision.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kz::test {
namespace {

using tool::CompareQueuedMessage;
using tool::HeaderChange;
using Kind = tool::HeaderChange::Kind;

const std::string kWritten = readFile(fixture("milter/written.eml"));
const std::string kWrittenCommands = readFile(fixture("milter/written.cmd"));

TEST(MilterDecision, ActionsOnTheQueuedMessageBecomeHeaderBodyAndRecipientChanges) {
    auto decision = CompareQueuedMessage(kWritten, kWrittenCommands,
                                         readFile(fixture("milter/after_actions.eml")),
                                         readFile(fixture("milter/after_actions.cmd")));
    EXPECT_FALSE(decision.gone);
    // Changes name the original occurrence; the header inserted at the top goes to
    // position 0, the one added before the blank line to the end.
    std::vector<HeaderChange> expected = {
        {Kind::Change, "Received", 2,
         "from laptop (unknown [198.51.100.3])\n\tby relay.example.net with SMTP"},
        {Kind::Change, "Subject", 1, "[SPAM] Claim your prize\n today"},
        {Kind::Delete, "X-Mailer", 1, ""},
        {Kind::Insert, "Authentication-Results", 0, "mail.example.com; dkim=none"},
        {Kind::Add, "X-Spam-Reason", 0, "Spam words ann@example.org"},
    };
    EXPECT_EQ(decision.headers, expected);
    ASSERT_TRUE(decision.body);
    EXPECT_EQ(*decision.body,
              "You are a winner.\r\n.hidden line\r\n\r\n-- \r\nScanned for spam.\r\n");
    // The command file was rewritten with five keys and a recipient in another case.
    EXPECT_EQ(decision.addedRecipients, std::vector<std::string>{"archive@example.com"});
    EXPECT_TRUE(decision.removedRecipients.empty());
}

TEST(MilterDecision, UntouchedMessageAsksForNothingAndAMissingFileMeansGone) {
    auto same = CompareQueuedMessage(kWritten, kWrittenCommands, kWritten, kWrittenCommands);
    EXPECT_FALSE(same.gone);
    EXPECT_TRUE(same.headers.empty());
    EXPECT_FALSE(same.body);
    EXPECT_TRUE(same.addedRecipients.empty());

    EXPECT_TRUE(
        CompareQueuedMessage(kWritten, kWrittenCommands, std::nullopt, kWrittenCommands).gone);
    EXPECT_TRUE(CompareQueuedMessage(kWritten, kWrittenCommands, kWritten, std::nullopt).gone);
}

TEST(MilterDecision, RepeatedHeadersLoseTheHighestFirstAndHeadersOnlyMessagesWork) {
    std::string before = "A: 1\r\nb: 2\r\nA: 3\r\nA: 4\r\nFrom x\r\n";  // no blank line
    std::string after = "a: 1\r\nB: 2\r\n\r\n";
    auto decision = CompareQueuedMessage(before, "", after, "");
    std::vector<HeaderChange> expected = {{Kind::Delete, "A", 3, ""}, {Kind::Delete, "A", 2, ""}};
    EXPECT_EQ(decision.headers, expected);
    EXPECT_FALSE(decision.body);  // both bodies empty
}

TEST(MilterDecision, RecipientsTheAgentDroppedAreRemoved) {
    auto decision = CompareQueuedMessage(
        kWritten, "Recipients=[SMTP:a@x];[SMTP:b@x];[SMTP:a@x]\r\n", kWritten,
        "Recipients=[SMTP:a@x]\r\nRecipients=[SMTP:b@x];[SMTP:c@x]\r\n");  // the last line counts
    EXPECT_EQ(decision.addedRecipients, std::vector<std::string>{"c@x"});
    EXPECT_EQ(decision.removedRecipients, (std::vector<std::string>{"a@x", "a@x"}));
}

}  // namespace
}  // namespace kz::test
