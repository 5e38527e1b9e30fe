#include "message/queue_operations.h"

#include <gtest/gtest.h>

#include "unit/message/queue_fixture.h"

namespace kz::test {
namespace {

class QueueOperationsTest : public QueueTest {};

TEST_F(QueueOperationsTest, DeleteRemovesBothFiles) {
    queueMessage("all_keys.cmd", "plain.eml");
    EXPECT_TRUE(DeleteQueuedMessage(context()));
    EXPECT_FALSE(exists(commandFile()));
    EXPECT_FALSE(exists(messageFile()));
}

TEST_F(QueueOperationsTest, DeleteWithoutCommandFileFailsAndKeepsTheMessage) {
    writeFile(messageFile(), queueFixture("plain.eml"));
    EXPECT_FALSE(DeleteQueuedMessage(context()));
    EXPECT_EQ(readFile(messageFile()), queueFixture("plain.eml"));
}

TEST_F(QueueOperationsTest, DeleteFindsTheMessagesFolderSpelledInCapitals) {
    ASSERT_TRUE(platform::renameFile(inbound() + "/Messages", inbound() + "/MESSAGES"));
    writeFile(commandFile(), queueFixture("all_keys.cmd"));
    writeFile(inbound() + "/MESSAGES/" + std::string(kMessageId), queueFixture("plain.eml"));
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

// Names that reach outside the queue touch nothing: not the files one level up, not the
// holding directories.
TEST_F(QueueOperationsTest, UnsafeNamesAreRefusedByEveryOperation) {
    writeFile(root() + "/SMTP/victim", "keep");
    writeFile(root() + "/SMTP/Messages/victim", "keep");
    queueMessage("all_keys.cmd", "plain.eml");
    for (std::string_view id : {"../victim", "..\\victim", "Messages/../../victim", "..", "."}) {
        MessageContext m = context();
        m.messageId = id;
        EXPECT_FALSE(DeleteQueuedMessage(m)) << id;
        EXPECT_FALSE(CopyToQuarantine(m)) << id;
        EXPECT_FALSE(CopyToBadMail(m)) << id;
    }
    // A separator alone would let the "command file" be the message file.
    MessageContext m = context();
    m.messageId = "Messages/" + std::string(kMessageId);
    EXPECT_FALSE(DeleteQueuedMessage(m));
    EXPECT_TRUE(exists(messageFile()));
    EXPECT_EQ(readFile(root() + "/SMTP/victim"), "keep");
    EXPECT_EQ(readFile(root() + "/SMTP/Messages/victim"), "keep");
    EXPECT_TRUE(exists(commandFile()));
    EXPECT_EQ(platform::listDirectory(quarantine()), std::vector<std::string>{});
    EXPECT_EQ(platform::listDirectory(badMail()), std::vector<std::string>{});
}

}  // namespace
}  // namespace kz::test
