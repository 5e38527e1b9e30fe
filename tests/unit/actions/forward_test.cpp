// The actions that hand the message on: a forwarded copy, and a program started on it.

#include "actions/forward.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "actions/append_recipient.h"
#include "actions/execute_application.h"
#include "message/envelope.h"
#include "platform/files.h"
#include "unit/actions/actions_fixture.h"
#include "unit/message/installed_seal.h"
#include "unit/platform/scoped_env.h"

namespace kz::test {
namespace {

using actions::AppendRecipient;
using actions::ExecuteApplication;
using actions::ExpandCommandLine;
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
    // A message that is gone is not forwarded (the copy is queued by QueueNewMessage,
    // whose failing steps are shown there).
    filtered_.ownMessage = false;
    platform::removeFile(messageFile());
    EXPECT_FALSE(ForwardToAddress(filtered_, "boss@example.test"));
    EXPECT_EQ(newMessages().size(), 1u);
}

// A run repeated after a crash asks for the same forward again: it is queued once, also
// when the first one has been handed on meanwhile; another address is another message.
TEST_F(ForwardTest, TheSameForwardOfTheSameMessageIsQueuedOnce) {
    EXPECT_TRUE(ForwardToAddress(filtered_, "boss@example.test"));
    std::vector<std::string> queued = newMessages();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_TRUE(ForwardToAddress(filtered_, "boss@example.test"));
    EXPECT_EQ(newMessages(), queued);

    const std::string outgoing = root() + "/" + std::string(kConnector) + "/Outgoing";
    std::filesystem::create_directories(outgoing + "/Messages");
    std::filesystem::rename(inbound() + "/Messages/" + queued[0],
                            outgoing + "/Messages/" + queued[0]);
    EXPECT_TRUE(ForwardToAddress(filtered_, "boss@example.test"));  // its command file is queued
    std::filesystem::rename(inbound() + "/" + queued[0], outgoing + "/" + queued[0]);
    EXPECT_TRUE(ForwardToAddress(filtered_, "boss@example.test"));
    EXPECT_EQ(newMessages(), std::vector<std::string>{});

    EXPECT_TRUE(ForwardToAddress(filtered_, "other@example.test"));
    EXPECT_EQ(newMessages().size(), 1u);
}

TEST(AppendRecipientTest, AddsTypedEntriesJoinedBySemicolons) {
    MessageEnvelope envelope;
    AppendRecipient(envelope, "a@example.test");
    AppendRecipient(envelope, "[X400:b]");
    AppendRecipient(envelope, "c@example.test\r\nSender=x");
    EXPECT_EQ(envelope.recipients,
              "[SMTP:a@example.test];[X400:b];[SMTP:c@example.test  Sender=x]");
}

class ExecuteApplicationTest : public ActionsTest {
  protected:
    std::string output() const { return dir_.file("args.txt"); }
    ScopedEnv argsEnv_{"KZ_ARGS_OUT", output()};
};

// That tokens become the arguments is shown through the loaded library (DispatchActions).
TEST_F(ExecuteApplicationTest, ShellTextIsAnArgumentAndAProgramOutlivingTheBoundIsEnded) {
    std::string marker = dir_.file("injected");
    EXPECT_EQ(ExecuteApplication(context(), fixture("actions/args_to_file.sh"),
                                 "\"a; touch " + marker + "\" $(id)"),
              1);
    EXPECT_EQ(readFile(output()), "a; touch " + marker + "\n$(id)\n");
    EXPECT_EQ(platform::fileStatus(marker), platform::FileStatus::NotFound);

    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(ExecuteApplication(context(), fixture("actions/sleeps.sh"), "",
                                 std::chrono::milliseconds(200)),
              1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_FALSE(ExecuteApplication(context(), dir_.file("missing-program"), "x"));
}

TEST_F(ExecuteApplicationTest, ExpandsEveryTokenInOrder) {
    std::string line = ExpandCommandLine(context(), "prog", "[ID][ID] [CONNECTOR] [TIME] [id]");
    std::string expected = "prog " + std::string(kMessageId) + std::string(kMessageId) + " " +
                           std::string(kConnector) + " ";
    ASSERT_EQ(line.substr(0, expected.size()), expected);
    EXPECT_EQ(line.find("[TIME]"), std::string::npos);
    EXPECT_NE(line.find(" [id]"), std::string::npos);
    // A line grown past its bound is cut.
    std::string many;
    for (int i = 0; i < 100; ++i) many += "[ID]";
    EXPECT_EQ(ExpandCommandLine(context(), "p", many).size(), 2046u);
}

}  // namespace
}  // namespace kz::test
