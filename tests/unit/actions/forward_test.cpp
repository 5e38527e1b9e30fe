#include "actions/forward.h"

#include <gtest/gtest.h>

#include "actions/append_recipient.h"
#include "message/envelope.h"
#include "unit/actions/actions_fixture.h"
#include "unit/message/installed_seal.h"

namespace kz::test {
namespace {

using actions::AppendRecipient;
using actions::ForwardToAddress;

class ForwardTest : public ActionsTest {
  protected:
    void SetUp() override {
        ActionsTest::SetUp();
        setString(config::kSmtpKey, config::kBadMailNotificationSenderAddress,
                  "postmaster@example.test");
        writeFile(commandFile(), queueFixture("all_keys.cmd"));
        queueMessageFile("plain.eml");
        ASSERT_TRUE(ReadEnvelope(filtered_ = context()));
    }

    // The identifiers queued besides the filtered message.
    std::vector<std::string> newMessages() const {
        return strayNames(inbound(), {std::string(kMessageId), "Messages"});
    }

    MessageContext filtered_;
};

TEST_F(ForwardTest, QueuesAMarkedCopySealedUnderItsNewName) {
    InstalledSeal installed;
    EXPECT_TRUE(ForwardToAddress(filtered_, "boss@example.test"));
    std::vector<std::string> queued = newMessages();
    ASSERT_EQ(queued.size(), 1u);
    MessageContext copy = context();
    copy.messageId = queued[0];
    ASSERT_TRUE(ReadEnvelope(copy));
    EXPECT_EQ(copy.recipients, "[SMTP:boss@example.test]");
    EXPECT_EQ(copy.sender, "[SMTP:postmaster@example.test]");
    EXPECT_EQ(copy.status, "Undelivered");
    EXPECT_EQ(copy.clientIp, "");
    std::string text = readFile(inbound() + "/Messages/" + queued[0]);
    EXPECT_NE(text.find("X-KZFilter: 1\r\nX-KZFilter-Seal: " + installed.seal.sealFor(queued[0]) +
                        "\r\n\r\nBody line one."),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Subject: Hello \r\n"), std::string::npos);
    // The filtered message stays queued as it was.
    EXPECT_EQ(readFile(messageFile()), actionFixture("plain.eml"));
    EXPECT_EQ(readFile(commandFile()), queueFixture("all_keys.cmd"));

    // The agent's own message is not forwarded: the copy would be acted on in turn.
    filtered_.ownMessage = true;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(ForwardToAddress(filtered_, "boss@example.test"));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(newMessages().size(), 1u);
}

// The copy is queued by QueueNewMessage, whose failing steps are shown there.
TEST_F(ForwardTest, AMissingMessageIsNotForwarded) {
    platform::removeFile(messageFile());
    EXPECT_FALSE(ForwardToAddress(filtered_, "boss@example.test"));
    EXPECT_TRUE(newMessages().empty());
}

TEST(AppendRecipientTest, AddsTypedEntriesJoinedBySemicolons) {
    MessageEnvelope envelope;
    AppendRecipient(envelope, "a@example.test");
    AppendRecipient(envelope, "[X400:b]");
    AppendRecipient(envelope, "c@example.test\r\nSender=x");
    EXPECT_EQ(envelope.recipients,
              "[SMTP:a@example.test];[X400:b];[SMTP:c@example.test  Sender=x]");
}

}  // namespace
}  // namespace kz::test
