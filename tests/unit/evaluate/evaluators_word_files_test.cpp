// Word files named by criteria: from the pattern cache, read afresh without it, and
// the inline reading when a file cannot be used.

#include <gtest/gtest.h>

#include "evaluate/evaluators_text.h"
#include "unit/evaluate/evaluators_fixture.h"

namespace kz::filters {
namespace {

// The script filter's BODY: instance 0 is SpamWords.txt (viagra, *pills*, an empty
// line, cheap meds, lottery), instance 1 the inline word lottery.
constexpr std::string_view kSpamBody = "Buy viagra and PILLS, win the lottery";

TEST_F(EvaluatorTest, CachedWordFileMatchesEveryEntry) {
    load(true);
    std::string trace = traceOf([&] { evaluation.offer(BODY, kSpamBody, kWordDelimiters); });
    const MatchResultBlock& script = block(kScript);
    EXPECT_EQ(script.hitCount[BODY], 4);  // viagra, *pills*, lottery from the file; lottery inline
    EXPECT_EQ(script.matchText[BODY], "<MF-W>lottery</MF-W>");
    EXPECT_EQ(script.instanceValue[BODY][0], "1");
    EXPECT_EQ(script.instanceValue[BODY][1], "1");
    EXPECT_NE(trace.find("Message Criteria (Tag=MF-W) met against [viagra] in specified word "
                         "file.\nMessage Criteria (Tag=MF-W) met against [*pills*] in specified "
                         "word file.\nMessage Criteria (Tag=MF-W) met against [lottery] in "
                         "specified word file.\n"),
              std::string::npos)
        << trace;

    // Loaded once: a change on disk waits for the next load.
    test::writeFile(patternFile("SpamWords.txt"), "casino\n");
    newResults();
    evaluation.offer(BODY, "viagra casino", kWordDelimiters);
    EXPECT_EQ(block(kScript).hitCount[BODY], 1);
    EXPECT_EQ(block(kScript).matchText[BODY], "<MF-W>viagra</MF-W>");
}

TEST_F(EvaluatorTest, UncachedWordFileIsReadAtEveryEvaluation) {
    load(false);
    std::string trace = traceOf([&] { evaluation.offer(BODY, "cheap viagra", kWordDelimiters); });
    EXPECT_EQ(block(kScript).hitCount[BODY], 1);
    EXPECT_EQ(block(kScript).instanceValue[BODY][0], "1");
    EXPECT_EQ(block(kScript).instanceValue[BODY][1], "");
    // CR LF line ends read in text mode leave no carriage return in the pattern.
    EXPECT_EQ(trace, "Message General Criteria met against [viagra] in specified word file.\n");

    test::writeFile(patternFile("SpamWords.txt"), "casino\nviagra*\n");
    newResults();
    evaluation.offer(BODY, "viagra casino", kWordDelimiters);
    EXPECT_EQ(block(kScript).hitCount[BODY], 2);
    EXPECT_EQ(block(kScript).matchText[BODY], "<MF-W>viagra*</MF-W>");
}

TEST_F(EvaluatorTest, AddressWordFileHitsCarryTheWordTag) {
    for (bool caching : {false, true}) {
        SCOPED_TRACE(caching ? "cached" : "uncached");
        load(caching);
        // CC names addresses.txt: *@spam.example, boss@example.com, nobody@example.com.
        std::string trace = traceOf([&] {
            evaluation.offer(CC, "Boss <boss@example.com>, x@spam.example", kAddressDelimiters);
        });
        EXPECT_EQ(block(kLists).hitCount[CC], 2);
        EXPECT_EQ(block(kLists).matchText[CC], "<MF-W>boss@example.com</MF-W>");
        EXPECT_EQ(trace.find("Processing Recipient List"), std::string::npos);
    }
}

TEST_F(EvaluatorTest, MissingWordFileFallsBackToTheInlineReading) {
    for (bool caching : {false, true}) {
        SCOPED_TRACE(caching ? "cached" : "uncached");
        load(caching);
        // HEADERS_CONTAIN names missing.txt.
        std::string trace = traceOf([&] {
            evaluation.offer(HEADERS_CONTAIN, "Subject: lottery\r\nX-Mailer: test\r\n",
                             kWordDelimiters);
        });
        EXPECT_EQ(block(kLists).hitCount[HEADERS_CONTAIN], 0);
        EXPECT_EQ(trace, "");
        // Uncached, the reference text itself is the one alternative; the cache holds
        // the missing file as an empty list, which is used instead.
        evaluation.offer(HEADERS_CONTAIN, "<REFERENCE><FILE>missing.txt</FILE></REFERENCE>",
                         kWordDelimiters);
        EXPECT_EQ(block(kLists).hitCount[HEADERS_CONTAIN], caching ? 0 : 1);
    }
}

}  // namespace
}  // namespace kz::filters
