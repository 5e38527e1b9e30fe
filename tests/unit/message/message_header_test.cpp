#include "message/message_header.h"

#include <gtest/gtest.h>

#include "message/message_header_text.h"
#include "support/case_file.h"
#include "unit/message/queue_fixture.h"

namespace kz::test {
namespace {

constexpr std::string_view kLine = "X-Spam-Score: 7.5\r\n";

std::string replaceOrAdd(std::string_view message) {
    return SetHeaderInText(message, "X-Spam-Score", kLine, HeaderMode::ReplaceOrAdd);
}

TEST(SetHeaderInText, ReplaceOrAdd) {
    const auto cases = ReadCaseFile("queue/header_cases.txt");
    EXPECT_EQ(cases.size(), 8u);
    for (const CaseLine& c : cases) {
        const std::string& in = c.fields[0];
        const std::string message = in[0] == '@' ? queueFixture(in.substr(1)) : Unescape(in);
        EXPECT_EQ(replaceOrAdd(message), Unescape(c.fields[1])) << "line " << c.number;
    }
}

// A header line longer than any read piece: the part after 4,095 bytes is not mistaken
// for the blank line that ends the headers.
TEST(SetHeaderInText, LongHeaderLinesAreHandledWhole) {
    std::string longLine = "References: " + std::string(4083, 'r') + "\r\n";
    EXPECT_EQ(replaceOrAdd(longLine + "\r\nbody"), longLine + std::string(kLine) + "\r\nbody");
}

TEST(SetHeaderInText, InsertAtTopPutsTheLineInFrontOfEverything) {
    EXPECT_EQ(SetHeaderInText("", "Authentication-Results", "Authentication-Results: a\r\n",
                              HeaderMode::InsertAtTop),
              "Authentication-Results: a\r\n");
    EXPECT_EQ(
        SetHeaderInText(queueFixture("plain.eml"), "X-Spam-Score", kLine, HeaderMode::InsertAtTop),
        std::string(kLine) + queueFixture("plain.eml"));
}

TEST(FormatHeaderLine, LineBreaksBecomeBlanksAndLongLinesKeepTheirLineEnd) {
    EXPECT_EQ(FormatHeaderLine("X-Note", "a\r\nBcc: victim@example.com"),
              "X-Note: a  Bcc: victim@example.com\r\n");
    EXPECT_EQ(FormatHeaderLine("X-\nNote", "v\r"), "X- Note: v \r\n");
    std::string line = FormatHeaderLine("X-Long", std::string(5000, 'v'));
    EXPECT_EQ(line.size(), 4095u);
    EXPECT_TRUE(line.ends_with("v\r\n"));
}

class MessageHeaderTest : public QueueTest {};

TEST_F(MessageHeaderTest, RewritesTheQueuedMessageFile) {
    queueMessage("all_keys.cmd", "plain.eml");
    EXPECT_TRUE(SetMessageHeader(context(), "X-KZFilter", "1", HeaderMode::ReplaceOrAdd));
    std::string text = readFile(messageFile());
    EXPECT_NE(text.find("Subject: Quarterly figures\r\nX-KZFilter: 1\r\n\r\nBody"),
              std::string::npos);
    EXPECT_EQ(strayNames(inbound() + "/Messages", {std::string(kMessageId)}),
              std::vector<std::string>{});
}

TEST_F(MessageHeaderTest, WorksInAMessagesFolderSpelledInCapitals) {
    ASSERT_TRUE(platform::renameFile(inbound() + "/Messages", inbound() + "/MESSAGES"));
    std::string file = inbound() + "/MESSAGES/" + std::string(kMessageId);
    writeFile(file, queueFixture("empty.eml"));
    EXPECT_TRUE(
        SetMessageHeader(context(), "Authentication-Results", "pass", HeaderMode::InsertAtTop));
    EXPECT_EQ(readFile(file), "Authentication-Results: pass\r\n");
    EXPECT_EQ(strayNames(inbound(), {"MESSAGES"}), std::vector<std::string>{});
}

// Watched before every step the message file is the old one; a failing step leaves the
// old file and no working copy, and the operation reports the failure.
TEST_F(MessageHeaderTest, AFailureAtAnyStepLeavesTheOriginalWhole) {
    const std::string before = queueFixture("plain.eml");
    for (std::string_view failing : {kStepWriteTemporary, kStepReplaceTarget}) {
        writeFile(messageFile(), before);
        std::vector<std::string> seen;
        auto hook = [&](std::string_view step) {
            seen.push_back(readFile(messageFile()));
            return step != failing;
        };
        EXPECT_FALSE(
            SetMessageHeader(context(), "X-Spam-Score", "7.5", HeaderMode::ReplaceOrAdd, hook))
            << failing;
        for (const std::string& content : seen) EXPECT_EQ(content, before);
        EXPECT_EQ(readFile(messageFile()), before);
        EXPECT_EQ(strayNames(inbound() + "/Messages", {std::string(kMessageId)}),
                  std::vector<std::string>{});
    }
}

TEST_F(MessageHeaderTest, AMissingMessageOrAWorkingCopyThatCannotBeWrittenFails) {
    EXPECT_FALSE(SetMessageHeader(context(), "X-A", "1", HeaderMode::InsertAtTop));
    queueMessage("all_keys.cmd", "plain.eml");
    writeFile(inbound() + "/Messages/_" + std::string(kMessageId) + "/blocker", "x");
    EXPECT_FALSE(SetMessageHeader(context(), "X-Spam-Score", "7.5", HeaderMode::InsertAtTop));
    EXPECT_EQ(readFile(messageFile()), queueFixture("plain.eml"));
}

}  // namespace
}  // namespace kz::test
