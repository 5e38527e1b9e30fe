#include "actions/subject_prefix.h"

#include <gtest/gtest.h>

#include "unit/actions/actions_fixture.h"

namespace kz::test {
namespace {

using actions::PrefixSubjectInText;

class SubjectPrefixTest : public ActionsTest {
  protected:
    // One run's prefix, written when the run's edits end.
    bool AddSubjectPrefix(std::string_view prefix) {
        actions::MessageEdits edits;
        return actions::AddSubjectPrefix(edits, context(), prefix);
    }
};

TEST_F(SubjectPrefixTest, PrefixesTheHeaderOnceWhateverTheCase) {
    queueMessageFile("plain.eml");
    EXPECT_TRUE(AddSubjectPrefix("[SPAM]"));
    std::string once = readFile(messageFile());
    EXPECT_NE(once.find("\r\nSubject: [SPAM]Hello \r\n"), std::string::npos);
    // The body's "Subject:" line is not a header.
    EXPECT_NE(once.find("\r\nSubject: not this one\r\n"), std::string::npos);
    EXPECT_TRUE(AddSubjectPrefix("[SPAM]"));
    EXPECT_TRUE(AddSubjectPrefix("[spam]"));
    EXPECT_EQ(readFile(messageFile()), once);
    EXPECT_TRUE(strayNames(inbound() + "/Messages", {std::string(kMessageId)}).empty());
}

// The message's own line ends stay; a line break in the prefix starts no header line.
TEST_F(SubjectPrefixTest, KeepsTheMessagesOwnLineEnds) {
    queueMessageFile("plain_lf.eml");
    EXPECT_TRUE(AddSubjectPrefix("[SPAM]\r\nBcc: x@example.test\n"));
    EXPECT_EQ(readFile(messageFile()),
              "From: sender@example.test\nTo: joe@example.test\n"
              "Subject: [SPAM]  Bcc: x@example.test Hello\nDate: Sat, 5 Dec 2026 10:00:00 "
              "+0000\n\nBody line one.\n");
}

TEST_F(SubjectPrefixTest, AMessageWithoutAHeaderSubjectIsNotMarked) {
    EXPECT_FALSE(AddSubjectPrefix("[SPAM]"));  // none queued
    const std::string cases[] = {
        actionFixture("body_subject.eml"),
        "Subject: no header end\r\nstill headers\r\n",
        "From: a\r\n\r\nSubject:",
        "From: a\n\nSubject: in the body\r\n\r\n",
    };
    for (const std::string& message : cases)
        EXPECT_EQ(PrefixSubjectInText(message, "[SPAM] "), std::nullopt) << message;
    EXPECT_EQ(PrefixSubjectInText("subject:\tHi\r\n\r\n", "[X] "), "subject:\t[X] Hi\r\n\r\n");
    queueMessageFile("body_subject.eml");
    EXPECT_FALSE(AddSubjectPrefix("[SPAM]"));
    EXPECT_EQ(readFile(messageFile()), actionFixture("body_subject.eml"));
}

}  // namespace
}  // namespace kz::test
