// The envelope: the command file read and written again in a queue of the test's own,
// and the readings of its values.

#include "message/envelope.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "message/envelope_address.h"
#include "message/envelope_fields.h"
#include "support/case_file.h"
#include "unit/message/queue_fixture.h"

namespace kz::test {
namespace {

class EnvelopeTest : public QueueTest {
  protected:
    MessageContext read(std::string_view commandFixture) {
        writeFile(commandFile(), queueFixture(commandFixture));
        MessageContext message = context();
        EXPECT_TRUE(ReadEnvelope(message));
        return message;
    }
};

TEST_F(EnvelopeTest, ReadsEveryKeyAndIgnoresOthers) {
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
TEST_F(EnvelopeTest, KeysAreCaseSensitivePrefixesAndValuesAreTakenAsTheyStand) {
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

TEST_F(EnvelopeTest, LongValuesAreCutToTheirFieldsButRecipientsAreKeptWhole) {
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

TEST_F(EnvelopeTest, AMissingCommandFileFailsAndLeavesEveryFieldCleared) {
    MessageContext m = read("all_keys.cmd");
    m.messageId = "MISSING.MAI";
    EXPECT_FALSE(ReadEnvelope(m));
    EXPECT_EQ(m.recipients + m.sender + m.subject, "");
    EXPECT_EQ(m.timeAcquired, 0);
    EXPECT_EQ(m.authenticationStatus, 0);
    EXPECT_FALSE(m.commandFile.read);
}

// all_keys.cmd with one more recipient, written again.
const std::string kAllKeysRewritten = queueFixture("all_keys_rewritten.cmd");

// The five written lines lead; every other line of the file follows unchanged, in its
// order, so neither the MTA's nor unknown keys are lost.
TEST_F(EnvelopeTest, RewritingAReadEnvelopeKeepsTheLinesItDoesNotWrite) {
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
TEST_F(EnvelopeTest, ANewMessageGetsExactlyTheFiveLinesAndLineBreaksInValuesAddNone) {
    writeFile(commandFile(), queueFixture("all_keys.cmd"));
    MessageContext original = context();
    ASSERT_TRUE(ReadEnvelope(original));
    MessageContext copy = newEnvelope(original);
    copy.messageId = "AAAABBBBCCCCDDDDEEEEFFFF00001111.MAI";
    ASSERT_TRUE(WriteEnvelope(copy));
    EXPECT_EQ(readFile(inbound() + "/" + copy.messageId), queueFixture("five_lines.cmd"));
    EXPECT_EQ(readFile(commandFile()), queueFixture("all_keys.cmd"));
    // Line breaks in values cannot add lines.
    platform::removeFile(commandFile());
    MessageContext m = context();
    m.recipients = "[SMTP:a@example.com]\r\nStatus=Delivered";
    m.sender = "[SMTP:b@example.com]\n";
    ASSERT_TRUE(WriteEnvelope(m));
    EXPECT_EQ(readFile(commandFile()), queueFixture("line_breaks_rewritten.cmd"));
}

// At every step the command file is the old one or the new one, whole; a step that
// fails leaves the old one and no temporary.
TEST_F(EnvelopeTest, AFailureAtAnyStepLeavesTheOldFileWhole) {
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

const auto kCases = test::ReadCaseGroups("queue/envelope_address_cases.txt");

TEST(ExtractEnvelopeAddress, TakesTheTextBetweenTheFirstColonAndTheFirstBracket) {
    EXPECT_EQ(kCases.at("ExtractEnvelopeAddress").size(), 8u);
    for (const test::CaseLine& c : kCases.at("ExtractEnvelopeAddress")) {
        std::string destination = "(kept)";
        ExtractEnvelopeAddress(c.fields[0], destination, TextLimit{std::stoul(c.fields[1])});
        EXPECT_EQ(destination, c.fields[2]) << "line " << c.number;
    }
    // Cut to the length of an address buffer, whatever the caller's size.
    std::string destination;
    ExtractEnvelopeAddress("[SMTP:" + std::string(2000, 'a') + "]", destination, TextLimit{4096});
    EXPECT_EQ(destination, std::string(1023, 'a'));
}

// The cases of one reading: value, result, address; then the same cut to a short buffer.
TEST(EnvelopeAddress, ReadingsOfTheValue) {
    using Reading = bool (*)(std::string_view, std::string&, TextLimit);
    for (auto [name, read] :
         {std::pair<std::string, Reading>{"AddressFromEnvelopeValue", AddressFromEnvelopeValue},
          {"AddressAfterType", AddressAfterType}}) {
        for (const test::CaseLine& c : kCases.at(name)) {
            std::string out = "old";
            EXPECT_EQ(read(c.fields[0], out, TextLimit{2048}), c.fields[1] == "1")
                << "line " << c.number;
            EXPECT_EQ(out, c.fields[2]) << "line " << c.number;
        }
        std::string out;
        EXPECT_TRUE(read("[SMTP:alice@example.com]", out, TextLimit{6})) << name;
        EXPECT_EQ(out, "alice") << name;
    }
    std::string out = "old";
    EXPECT_TRUE(AddressAfterType("[SMTP:alice@example.com]", out, TextLimit{0}));
    EXPECT_EQ(out, "");
    for (const test::CaseLine& c : kCases.at("AddressLessLastCharacter"))
        EXPECT_EQ(AddressLessLastCharacter(c.fields[0]), c.fields[1]) << "line " << c.number;
}

TEST(EnvelopeValues, NumbersReadLikeAtoi) {
    EXPECT_EQ(kCases.at("EnvelopeNumber").size(), 10u);
    for (const test::CaseLine& c : kCases.at("EnvelopeNumber"))
        EXPECT_EQ(EnvelopeNumber(test::Unescape(c.fields[0])), std::stol(c.fields[1]))
            << c.fields[0];
}

}  // namespace
}  // namespace kz::test
