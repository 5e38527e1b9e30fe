#include "message/queue_operations.h"

#include <gtest/gtest.h>

#include "message/envelope.h"
#include "message/message_header.h"
#include "message/queue_new_message.h"
#include "unit/message/queue_fixture.h"

namespace kz::test {
namespace {

class QueueOperationsTest : public QueueTest {};

TEST_F(QueueOperationsTest, DeleteRemovesBothFilesAndNeedsTheCommandFile) {
    queueMessage("all_keys.cmd", "plain.eml");
    EXPECT_TRUE(DeleteQueuedMessage(context()));
    EXPECT_FALSE(exists(commandFile()));
    EXPECT_FALSE(exists(messageFile()));

    writeFile(messageFile(), queueFixture("plain.eml"));
    EXPECT_FALSE(DeleteQueuedMessage(context()));
    EXPECT_EQ(readFile(messageFile()), queueFixture("plain.eml"));

    // The Messages folder spelled in capitals is found.
    ASSERT_TRUE(platform::renameFile(inbound() + "/Messages", inbound() + "/MESSAGES"));
    writeFile(commandFile(), queueFixture("all_keys.cmd"));
    EXPECT_TRUE(DeleteQueuedMessage(context()));
    EXPECT_EQ(platform::listDirectory(inbound() + "/MESSAGES"), std::vector<std::string>{});
}

using CopyOperation = bool (*)(const MessageContext&);

struct HoldingCase {
    const char* name;
    CopyOperation copy;
    std::string (QueueTest::*directory)() const;
};

class QueueCopyTest : public QueueTest, public testing::WithParamInterface<HoldingCase> {
  protected:
    std::string holding() const { return (this->*GetParam().directory)(); }
    bool copy() const { return GetParam().copy(context()); }
};

TEST_P(QueueCopyTest, CopiesBothFilesAndCreatesTheMessagesFolder) {
    queueMessage("all_keys.cmd", "plain.eml");
    EXPECT_TRUE(copy());
    EXPECT_EQ(readFile(holding() + "/" + std::string(kMessageId)), queueFixture("all_keys.cmd"));
    EXPECT_EQ(readFile(holding() + "/Messages/" + std::string(kMessageId)),
              queueFixture("plain.eml"));
    EXPECT_EQ(strayNames(holding(), {"Messages", std::string(kMessageId)}),
              std::vector<std::string>{});
    EXPECT_EQ(strayNames(holding() + "/Messages", {std::string(kMessageId)}),
              std::vector<std::string>{});
    // The queued files stay.
    EXPECT_TRUE(exists(commandFile()));
    EXPECT_TRUE(exists(messageFile()));
}

TEST_P(QueueCopyTest, ReplacesEarlierCopiesInAnExistingCapitalisedFolder) {
    queueMessage("all_keys.cmd", "plain.eml");
    writeFile(holding() + "/" + std::string(kMessageId), "old");
    writeFile(holding() + "/MESSAGES/" + std::string(kMessageId), "old");
    EXPECT_TRUE(copy());
    EXPECT_EQ(readFile(holding() + "/MESSAGES/" + std::string(kMessageId)),
              queueFixture("plain.eml"));
    EXPECT_EQ(strayNames(holding(), {"MESSAGES", std::string(kMessageId)}),
              std::vector<std::string>{});
}

TEST_P(QueueCopyTest, FailsWhenAQueuedFileIsMissing) {
    writeFile(messageFile(), queueFixture("plain.eml"));
    EXPECT_FALSE(copy());
    EXPECT_EQ(platform::listDirectory(holding()), std::vector<std::string>{});

    platform::removeFile(messageFile());
    writeFile(commandFile(), queueFixture("all_keys.cmd"));
    EXPECT_FALSE(copy());
    EXPECT_FALSE(exists(holding() + "/Messages/" + std::string(kMessageId)));
}

INSTANTIATE_TEST_SUITE_P(
    Holding, QueueCopyTest,
    testing::Values(HoldingCase{"Quarantine", &CopyToQuarantine, &QueueTest::quarantine},
                    HoldingCase{"BadMail", &CopyToBadMail, &QueueTest::badMail}),
    [](const testing::TestParamInfo<HoldingCase>& info) { return info.param.name; });

// Names that reach outside the queue touch nothing, whichever operation is asked: not the
// files one level up, not the queued message, not the holding directories.
TEST_F(QueueOperationsTest, UnsafeNamesAreRefusedByEveryOperation) {
    writeFile(root() + "/SMTP/outside.MAI", queueFixture("all_keys.cmd"));
    writeFile(root() + "/SMTP/Messages/outside.MAI", "keep");
    queueMessage("all_keys.cmd", "plain.eml");
    const std::vector<std::pair<std::string, std::string>> names = {
        {"SMTP", "../outside.MAI"},
        {"SMTP", "..\\outside.MAI"},
        {"SMTP", "Messages/../../outside.MAI"},
        {"SMTP", ".."},
        {"SMTP", "."},
        {"SMTP", "a/b.MAI"},
        {"SMTP", "x..MAI"},
        {"SMTP", ""},
        {"..", "Inbound"},
        {"SMTP/Inbound", "."},
        {"", "x.MAI"},
        {"../SMTP", "x.MAI"},
        // A separator alone would let the "command file" be the message file.
        {"SMTP", "Messages/" + std::string(kMessageId)}};
    for (const auto& [connector, id] : names) {
        SCOPED_TRACE(connector + " " + id);
        MessageContext m = context();
        m.connectorName = connector;
        m.messageId = id;
        EXPECT_FALSE(ReadEnvelope(m));
        EXPECT_EQ(m.sender, "");
        m.sender = "[SMTP:x@example.com]";
        EXPECT_FALSE(WriteEnvelope(m));
        EXPECT_FALSE(DeleteQueuedMessage(m));
        EXPECT_FALSE(CopyToQuarantine(m));
        EXPECT_FALSE(CopyToBadMail(m));
        EXPECT_FALSE(SetMessageHeader(m, "X-A", "1", HeaderMode::InsertAtTop));
        EXPECT_FALSE(QueueNewMessage(root(), connector, id, "text", MessageEnvelope{}));
    }
    EXPECT_EQ(readFile(root() + "/SMTP/outside.MAI"), queueFixture("all_keys.cmd"));
    EXPECT_EQ(readFile(root() + "/SMTP/Messages/outside.MAI"), "keep");
    EXPECT_EQ(readFile(commandFile()), queueFixture("all_keys.cmd"));
    EXPECT_EQ(readFile(messageFile()), queueFixture("plain.eml"));
    EXPECT_EQ(strayNames(root() + "/SMTP", {"Inbound", "Messages", "outside.MAI"}),
              std::vector<std::string>{});
    EXPECT_EQ(strayNames(root(), {"SMTP"}), std::vector<std::string>{});
    EXPECT_EQ(platform::listDirectory(quarantine()), std::vector<std::string>{});
    EXPECT_EQ(platform::listDirectory(badMail()), std::vector<std::string>{});
}

}  // namespace
}  // namespace kz::test
