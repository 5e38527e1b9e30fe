#include <gtest/gtest.h>

#include "evaluate/evaluators_text.h"
#include "unit/evaluate/evaluators_fixture.h"

namespace kz::filters {
namespace {

constexpr std::string_view kPlainNameDelimiters = "\r'\"\n;";
constexpr std::string_view kPartDelimiters = " \r'\"\n;";

using AttachmentTest = UncachedEvaluatorTest;

// HASATTACHMENTSMATCHING lists *.exe and *.zip.
TEST_F(AttachmentTest, NameComesFromFilenameThenFromName) {
    struct Case {
        const char* line;
        int hits;
        const char* matchText;
    };
    const Case cases[] = {
        {"Content-Disposition: attachment; filename=\"report.exe\"", 1, "<MF-A>*.exe</MF-A>"},
        {"Content-Type: application/zip; name=\"b.zip\"; filename=\"b.txt\"", 1,
         "<MF-A>*.zip</MF-A>"},
        {"Content-Type: application/zip; name=b.zip", 1, "<MF-A>*.zip</MF-A>"},
        {"Content-Disposition: attachment; filename=\"report.exe.txt\"", 0, ""},
        {"Content-Type: text/plain; charset=us-ascii", 0, ""},
    };
    for (const Case& c : cases) {
        newResults();
        std::string trace =
            traceOf([&] { evaluation.offerAttachmentLine(c.line, kPlainNameDelimiters); });
        EXPECT_EQ(block(kLists).hitCount[HASATTACHMENTSMATCHING], c.hits) << c.line;
        EXPECT_EQ(block(kLists).matchText[HASATTACHMENTSMATCHING], c.matchText) << c.line;
        EXPECT_EQ(trace, c.hits ? "Attachment Criteria Met\n" : "") << c.line;
    }
}

TEST_F(AttachmentTest, PresenceIsOneHitPerFilterAndMessage) {
    const std::string_view part = "Content-Type: application/pdf; NAME=\"x.pdf\"";
    std::string trace =
        traceOf([&] { evaluation.offerPresence(evaluate::NamesAnAttachment(part)); });
    EXPECT_EQ(trace,
              "Message Body Has Attachment Criteria Met\n"
              "Message Body Has Attachment Criteria Met\n");  // lists and script, not the off one
    EXPECT_EQ(block(kLists).hitCount[HASANATTACHMENT], 1);
    EXPECT_EQ(block(kLists).matchText[HASANATTACHMENT], "<MF-HA>1</MF-HA>");
    EXPECT_EQ(block(kScript).instanceValue[HASANATTACHMENT][0], "1");
    EXPECT_EQ(block(kScript).instanceValue[HASANATTACHMENT][1], "1");
    EXPECT_EQ(block(kOff).hitCount[HASANATTACHMENT], 0);

    trace = traceOf([&] { evaluation.offerPresence(evaluate::NamesAnAttachment(part)); });
    EXPECT_EQ(trace, "");
    EXPECT_EQ(block(kScript).hitCount[HASANATTACHMENT], 1);
}

TEST_F(AttachmentTest, PresenceWithoutANameSetsTheCountToZero) {
    evaluation.offerPresence(evaluate::NamesAnAttachment("Content-Type: text/plain"));
    EXPECT_EQ(block(kScript).hitCount[HASANATTACHMENT], 0);
    EXPECT_EQ(block(kScript).matchText[HASANATTACHMENT], "");
    EXPECT_EQ(block(kScript).instanceValue[HASANATTACHMENT][0], "0");
    EXPECT_EQ(block(kScript).instanceValue[HASANATTACHMENT][1], "0");
    EXPECT_EQ(block(kOff).instanceValue[HASANATTACHMENT][0], "");
}

}  // namespace
}  // namespace kz::filters
