#include <gtest/gtest.h>

#include "message/envelope.h"
#include "unit/message/queue_fixture.h"

namespace kz::test {
namespace {

class EnvelopeWriterTest : public QueueTest {};

// all_keys.cmd with one more recipient, written again.
const std::string kAllKeysRewritten = queueFixture("all_keys_rewritten.cmd");

// The five written lines lead; every other line of the file follows unchanged, in its
// order, so neither the MTA's nor unknown keys are lost.
TEST_F(EnvelopeWriterTest, RewritingAReadEnvelopeKeepsTheLinesItDoesNotWrite) {
    writeFile(commandFile(), queueFixture("all_keys.cmd"));
    MessageContext m = context();
    ASSERT_TRUE(ReadEnvelope(m));
    m.recipients += ";[SMTP:dora@example.com]";
    ASSERT_TRUE(WriteEnvelope(m));
    EXPECT_EQ(readFile(commandFile()), kAllKeysRewritten);
    // Written again, nothing doubles.
    ASSERT_TRUE(WriteEnvelope(m));
    EXPECT_EQ(readFile(commandFile()), kAllKeysRewritten);
    EXPECT_EQ(strayNames(inbound(), {"Messages", std::string(kMessageId)}),
              std::vector<std::string>{});

    // Repeated written keys give way to the current values.
    writeFile(commandFile(), queueFixture("quirks.cmd"));
    m = context();
    ASSERT_TRUE(ReadEnvelope(m));
    ASSERT_TRUE(WriteEnvelope(m));
    EXPECT_EQ(readFile(commandFile()), queueFixture("quirks_rewritten.cmd"));
}

MessageContext newEnvelope(MessageContext m) {
    m.recipients = "[SMTP:new@example.com]";
    m.server = "relay";
    m.sender = "[SMTP:from@example.com]";
    m.timeAcquired = -5;
    m.status = "Undelivered";
    m.clientIp = "192.0.2.1";
    m.subject = "not written";
    m.commandType = "NDR";
    m.authenticationStatus = 1;
    return m;
}

// A new message gets exactly the five lines; so does a copy of a read context under
// another identifier (a forwarded copy): the original's other lines stay with it.
TEST_F(EnvelopeWriterTest, ANewMessageGetsExactlyTheFiveLines) {
    writeFile(commandFile(), queueFixture("all_keys.cmd"));
    MessageContext original = context();
    ASSERT_TRUE(ReadEnvelope(original));
    MessageContext copy = newEnvelope(original);
    copy.messageId = "AAAABBBBCCCCDDDDEEEEFFFF00001111.MAI";
    ASSERT_TRUE(WriteEnvelope(copy));
    EXPECT_EQ(readFile(inbound() + "/" + copy.messageId), queueFixture("five_lines.cmd"));
    EXPECT_EQ(readFile(commandFile()), queueFixture("all_keys.cmd"));
}

TEST_F(EnvelopeWriterTest, LineBreaksInValuesCannotAddLines) {
    MessageContext m = context();
    m.recipients = "[SMTP:a@example.com]\r\nStatus=Delivered";
    m.sender = "[SMTP:b@example.com]\n";
    ASSERT_TRUE(WriteEnvelope(m));
    EXPECT_EQ(readFile(commandFile()), queueFixture("line_breaks_rewritten.cmd"));
}

// At every step the command file is the old one or the new one, whole; a step that
// fails leaves the old one and no temporary.
TEST_F(EnvelopeWriterTest, AFailureAtAnyStepLeavesTheOldFileWhole) {
    const std::string before = queueFixture("all_keys.cmd");
    for (std::string_view failing : {kStepWriteTemporary, kStepReplaceTarget}) {
        writeFile(commandFile(), before);
        MessageContext m = context();
        ASSERT_TRUE(ReadEnvelope(m));
        m.recipients += ";[SMTP:dora@example.com]";
        std::vector<std::string> seen;
        auto hook = [&](std::string_view step) {
            seen.push_back(readFile(commandFile()));
            return step != failing;
        };
        EXPECT_FALSE(WriteEnvelope(m, hook)) << failing;
        for (const std::string& content : seen) EXPECT_EQ(content, before);
        EXPECT_EQ(readFile(commandFile()), before);
        EXPECT_EQ(strayNames(inbound(), {"Messages", std::string(kMessageId)}),
                  std::vector<std::string>{});

        seen.clear();
        EXPECT_TRUE(WriteEnvelope(m, [&](std::string_view) {
            seen.push_back(readFile(commandFile()));
            return true;
        }));
        for (const std::string& content : seen) EXPECT_EQ(content, before);
        EXPECT_EQ(readFile(commandFile()), kAllKeysRewritten);
    }
    // A directory in the command file's place: the final rename fails for real.
    platform::removeFile(commandFile());
    writeFile(commandFile() + "/keep", "x");
    EXPECT_FALSE(WriteEnvelope(newEnvelope(context())));
    EXPECT_EQ(readFile(commandFile() + "/keep"), "x");
    EXPECT_EQ(strayNames(inbound(), {"Messages", std::string(kMessageId)}),
              std::vector<std::string>{});
}

}  // namespace
}  // namespace kz::test
