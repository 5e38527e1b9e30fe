// The edits a run makes to the queued message: annotations and the subject prefix.

#include "actions/annotations.h"

#include <gtest/gtest.h>

#include "actions/annotation_text.h"
#include "actions/subject_prefix.h"
#include "unit/actions/actions_fixture.h"

namespace kz::test {
namespace {

using actions::AnnotateMessageText;
using actions::AnnotationRequest;
using actions::PrefixSubjectInText;

class AnnotationsTest : public ActionsTest {
  protected:
    void SetUp() override {
        ActionsTest::SetUp();
        setString(config::kProductKey, config::kConfigurationDirectory, configuration());
        config::ReadRunDirectories();
        std::string annotations = configuration() + "/POSTOFFICES/System/Annotations";
        makeDirectories(annotations);
        writeFile(annotations + "/TOP.TXT", actionFixture("top.txt"));
        writeFile(annotations + "/BOTTOM.TXT", actionFixture("bottom.txt"));
    }
    std::string configuration() const { return dir_.file("config"); }

    static AnnotationRequest both() { return {"System", "TOP", true, "BOTTOM", true}; }
    // One run's annotations or prefix, written when the run's edits end.
    bool AppendAnnotations(const AnnotationRequest& request) {
        actions::MessageEdits edits;
        return actions::AppendAnnotations(edits, context(), request);
    }
    bool AddSubjectPrefix(std::string_view prefix) {
        actions::MessageEdits edits;
        return actions::AddSubjectPrefix(edits, context(), prefix);
    }
};

constexpr std::string_view kTop = "\r\nAnnotation top line.\r\n\r\n";
constexpr std::string_view kBottom = "\r\nAnnotation bottom line.\r\n\r\n";

TEST_F(AnnotationsTest, SinglePartGetsBothAnnotationsAndTheLoopHeader) {
    queueMessageFile("plain.eml");
    EXPECT_TRUE(AppendAnnotations(both()));
    std::string original = actionFixture("plain.eml");
    std::size_t body = original.find("\r\n\r\n") + 2;
    std::string expected = original.substr(0, body) + "X-KZFilter: 1\r\n\r\n" + std::string(kTop) +
                           original.substr(body + 2) + std::string(kBottom);
    EXPECT_EQ(readFile(messageFile()), expected);
    EXPECT_TRUE(strayNames(inbound() + "/Messages", {std::string(kMessageId)}).empty());
    // Filtered once: a second run changes nothing.
    EXPECT_TRUE(AppendAnnotations(both()));
    EXPECT_EQ(readFile(messageFile()), expected);
}

TEST_F(AnnotationsTest, MultipartAnnotatesItsTextPartsAndKeepsTheRest) {
    queueMessageFile("multipart.eml");
    EXPECT_TRUE(AppendAnnotations(both()));
    std::string text = readFile(messageFile());
    std::string original = actionFixture("multipart.eml");
    EXPECT_NE(text.find("boundary=\"=_b1\"\r\nX-KZFilter: 1\r\n\r\nThis is a multipart"),
              std::string::npos);
    EXPECT_NE(text.find("charset=us-ascii\r\n\r\n" + std::string(kTop) + "Plain text.\r\n" +
                        std::string(kBottom) + "--=_b1\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\r\n\r\n" + std::string(kTop) + "<p>Html.</p>\r\n" + std::string(kBottom) +
                        "--=_b1--\r\nEpilogue.\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("base64\r\n\r\niVBORw0KGgo=\r\n--=_b1\r\n"), std::string::npos);
    EXPECT_EQ(text.size(), original.size() + 15 + 2 * (kTop.size() + kBottom.size()));
}

TEST_F(AnnotationsTest, MessagesThatStayAsTheyAre) {
    const char* unchanged[] = {"filtered.eml", "multipart_no_boundary.eml"};
    for (const char* name : unchanged) {
        queueMessageFile(name);
        EXPECT_TRUE(AppendAnnotations(both())) << name;
        EXPECT_EQ(readFile(messageFile()), actionFixture(name)) << name;
    }
    queueMessageFile("plain.eml");
    EXPECT_TRUE(AppendAnnotations({"System", "TOP", false, "BOTTOM", false}));
    EXPECT_TRUE(AppendAnnotations({"..", "TOP", true, "BOTTOM", true}));
    EXPECT_TRUE(AppendAnnotations({"System", "../x", true, "MISSING", true}));
    EXPECT_EQ(readFile(messageFile()), actionFixture("plain.eml"));
    EXPECT_EQ(AnnotateMessageText("Subject: no body", std::string("x"), std::nullopt),
              std::nullopt);
}

TEST_F(AnnotationsTest, SubjectPrefixOnceWhateverTheCaseInTheMessagesOwnLineEnds) {
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

    // A line break in the prefix starts no header line.
    queueMessageFile("plain_lf.eml");
    EXPECT_TRUE(AddSubjectPrefix("[SPAM]\r\nBcc: x@example.test\n"));
    EXPECT_EQ(readFile(messageFile()),
              "From: sender@example.test\nTo: joe@example.test\n"
              "Subject: [SPAM]  Bcc: x@example.test Hello\nDate: Sat, 5 Dec 2026 10:00:00 "
              "+0000\n\nBody line one.\n");
}

TEST_F(AnnotationsTest, AMessageWithoutAHeaderSubjectIsNotPrefixed) {
    EXPECT_FALSE(AddSubjectPrefix("[SPAM]"));  // none queued
    for (const std::string& message :
         {actionFixture("body_subject.eml"), std::string("Subject: no header end\r\nstill\r\n"),
          std::string("From: a\r\n\r\nSubject:"),
          std::string("From: a\n\nSubject: in the body\r\n\r\n")})
        EXPECT_EQ(PrefixSubjectInText(message, "[SPAM] "), std::nullopt) << message;
    EXPECT_EQ(PrefixSubjectInText("subject:\tHi\r\n\r\n", "[X] "), "subject:\t[X] Hi\r\n\r\n");
    queueMessageFile("body_subject.eml");
    EXPECT_FALSE(AddSubjectPrefix("[SPAM]"));
    EXPECT_EQ(readFile(messageFile()), actionFixture("body_subject.eml"));
}

}  // namespace
}  // namespace kz::test
