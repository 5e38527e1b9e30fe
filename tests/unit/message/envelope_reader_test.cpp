#include <gtest/gtest.h>

#include "message/envelope.h"
#include "unit/message/queue_fixture.h"

namespace kz::test {
namespace {

class EnvelopeReaderTest : public QueueTest {
  protected:
    MessageContext read(std::string_view commandFixture) {
        writeFile(commandFile(), queueFixture(commandFixture));
        MessageContext message = context();
        EXPECT_TRUE(ReadEnvelope(message));
        return message;
    }
};

TEST_F(EnvelopeReaderTest, ReadsEveryKeyAndIgnoresOthers) {
    MessageContext m = read("all_keys.cmd");
    EXPECT_EQ(m.recipients, "[SMTP:anna@example.com];[SMTP:bert@example.org]");
    EXPECT_EQ(m.sender, "[SMTP:carl@example.net]");
    EXPECT_EQ(m.subject, "Quarterly figures");
    EXPECT_EQ(m.timeAcquired, 1700000000);
    EXPECT_EQ(m.authenticationStatus, 1);
}

// Keys in another case or after a blank set nothing; a value keeps its own "=" and its
// blanks; the last of two lines wins; numbers stop at the first non-digit; the last
// line has no line end.
TEST_F(EnvelopeReaderTest, KeysAreCaseSensitivePrefixesAndValuesAreTakenAsTheyStand) {
    MessageContext m = read("quirks.cmd");
    EXPECT_EQ(m.recipients, "[SMTP:second@example.com];[SMTP:third@example.com]");
    EXPECT_EQ(m.sender, "");
    EXPECT_EQ(m.subject, "a=b");
    EXPECT_EQ(m.clientIp, " 198.51.100.4 ");
    EXPECT_EQ(m.timeAcquired, 12);
    EXPECT_EQ(m.authenticationStatus, 0);
    EXPECT_EQ(m.status, "Undelivered");
    // Line feeds alone end lines too.
    m = read("lf_only.cmd");
    EXPECT_EQ(m.recipients, "[SMTP:lf@example.com]");
    EXPECT_EQ(m.sender, "[SMTP:unix@example.com]");
    EXPECT_EQ(m.timeAcquired, -42);
}

TEST_F(EnvelopeReaderTest, LongValuesAreCutToTheirFieldsButRecipientsAreKeptWhole) {
    MessageContext m = read("long_values.cmd");
    EXPECT_EQ(m.sender.size(), 511u);
    EXPECT_EQ(m.sender.substr(0, 7), "[SMTP:s");
    EXPECT_EQ(m.clientIp.size(), 65u);
    EXPECT_EQ(m.commandType.size(), 31u);
    EXPECT_EQ(m.subject.size(), 1023u);
    // Longer than any read piece; every one of the 1,200 recipients survives.
    EXPECT_GT(m.recipients.size(), 25000u);
    EXPECT_TRUE(m.recipients.ends_with("[SMTP:user01199@example.com]"));
}

TEST_F(EnvelopeReaderTest, AMissingCommandFileFailsAndLeavesEveryFieldCleared) {
    MessageContext m = read("all_keys.cmd");
    m.messageId = "MISSING.MAI";
    EXPECT_FALSE(ReadEnvelope(m));
    EXPECT_EQ(m.recipients + m.sender + m.subject, "");
    EXPECT_EQ(m.timeAcquired, 0);
    EXPECT_EQ(m.authenticationStatus, 0);
    EXPECT_FALSE(m.commandFile.read);
}

}  // namespace
}  // namespace kz::test
