#include "message/queue_new_message.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "unit/message/queue_fixture.h"

namespace kz::test {
namespace {

class QueueNewMessageTest : public QueueTest {
  protected:
    static constexpr std::string_view kText = "X-KZFilter: 1\r\nSubject: copy\r\n\r\nBody\r\n";

    static MessageEnvelope envelope() {
        MessageEnvelope e;
        e.recipients = "[SMTP:anna@example.com]";
        e.sender = "[SMTP:postmaster@example.com]";
        e.status = "Undelivered";
        e.clientIp = "192.0.2.1";
        return e;
    }
    bool queue(const QueueStepHook& hook = {}) {
        return QueueNewMessage(root(), kConnector, kMessageId, kText, envelope(), hook);
    }
};

TEST_F(QueueNewMessageTest, WritesTheMessageAndExactlyFiveEnvelopeLines) {
    ASSERT_TRUE(std::filesystem::remove(inbound() + "/Messages"));  // created when missing
    EXPECT_TRUE(queue());
    EXPECT_EQ(readFile(messageFile()), kText);
    EXPECT_EQ(readFile(commandFile()),
              "Recipients=[SMTP:anna@example.com]\r\nServer=\r\n"
              "Sender=[SMTP:postmaster@example.com]\r\nTimeAcquired=0\r\nStatus=Undelivered\r\n");
    EXPECT_EQ(strayNames(inbound(), {"Messages", std::string(kMessageId)}),
              std::vector<std::string>{});
}

// The command file, which the MTA acts on, appears only after the whole message file;
// a failure at any step leaves neither file behind.
TEST_F(QueueNewMessageTest, TheCommandFileNeverAppearsBeforeTheWholeMessage) {
    for (int failAt = 0; failAt < 4; ++failAt) {
        int step = 0;
        auto hook = [&](std::string_view) {
            // Steps 0 and 1 write the message file, steps 2 and 3 the command file.
            EXPECT_FALSE(exists(commandFile()));
            if (step >= 2) {
                EXPECT_EQ(readFile(messageFile()), kText);
            }
            return step++ != failAt;
        };
        EXPECT_FALSE(queue(hook)) << failAt;
        EXPECT_FALSE(exists(commandFile())) << failAt;
        EXPECT_FALSE(exists(messageFile())) << failAt;
        EXPECT_EQ(strayNames(inbound(), {"Messages"}), std::vector<std::string>{});
        EXPECT_EQ(platform::listDirectory(inbound() + "/Messages"), std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace kz::test
