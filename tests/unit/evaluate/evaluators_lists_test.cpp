// Word and address lists: alternatives, instances, the sender token, the case setting.

#include <gtest/gtest.h>

#include "config/registry_keys.h"
#include "evaluate/evaluators_sender.h"
#include "evaluate/evaluators_text.h"
#include "unit/evaluate/evaluators_fixture.h"

namespace kz::filters {
namespace {

using ListEvaluatorTest = UncachedEvaluatorTest;

TEST_F(ListEvaluatorTest, WordCriterionRecordsEveryMatchingAlternative) {
    std::string trace =
        traceOf([&] { evaluation.offer(SUBJECT, "Get FREE offer to WIN", kWordDelimiters); });
    EXPECT_EQ(block(kLists).hitCount[SUBJECT], 3);
    EXPECT_EQ(block(kLists).matchText[SUBJECT], "<MF-W>*win*</MF-W>");  // the last hit
    EXPECT_EQ(block(kLists).instanceValue[SUBJECT][0], "1");
    EXPECT_EQ(trace,
              "Message General Criteria met against [free] in specified word list.\n"
              "Message General Criteria met against [offer] in specified word list.\n"
              "Message General Criteria met against [*win*] in specified word list.\n");
    EXPECT_EQ(block(kScript).hitCount[SUBJECT], 0);
    EXPECT_EQ(block(kOff).hitCount[SUBJECT], 0);  // disabled, though its data is "free"
    EXPECT_EQ(block(kOff).matchText[SUBJECT], "");

    // Hits add up over the values of one message.
    evaluation.offer(SUBJECT, "freedom offer", kWordDelimiters);
    EXPECT_EQ(block(kLists).hitCount[SUBJECT], 4);
    EXPECT_EQ(block(kLists).matchText[SUBJECT], "<MF-W>offer</MF-W>");
}

TEST_F(ListEvaluatorTest, ScriptInstancesKeepTheirOwnValues) {
    evaluation.offer(SUBJECT, "cheap cialis", kWordDelimiters);
    const MatchResultBlock& script = block(kScript);
    EXPECT_EQ(script.hitCount[SUBJECT], 1);
    EXPECT_EQ(script.matchText[SUBJECT], "<MF-W>cialis</MF-W>");
    EXPECT_EQ(script.instanceValue[SUBJECT][0], "");
    EXPECT_EQ(script.instanceValue[SUBJECT][1], "1");

    evaluation.offer(SUBJECT, "viagra", kWordDelimiters);
    EXPECT_EQ(script.hitCount[SUBJECT], 2);
    EXPECT_EQ(script.matchText[SUBJECT], "<MF-W>viagra</MF-W>");
    EXPECT_EQ(script.instanceValue[SUBJECT][0], "1");
    EXPECT_EQ(block(kLists).hitCount[SUBJECT], 0);
}

TEST_F(ListEvaluatorTest, AddressCriterionCountsEachAlternativeOnce) {
    // TO lists boss@example.com, *@example.org and *example.net.
    std::string trace =
        traceOf([&] { evaluation.offer(TO, "Boss <boss@example.com>", kAddressDelimiters); });
    EXPECT_EQ(block(kLists).hitCount[TO], 1);
    EXPECT_EQ(block(kLists).matchText[TO], "<MF-R>boss@example.com</MF-R>");
    EXPECT_EQ(trace,
              "Processing Recipient List of 3 delimiters\r\n"
              "Message sender/recipient criteria met\n");

    newResults();
    evaluation.offer(TO, "boss@example.com; sales@example.net", kAddressDelimiters);
    EXPECT_EQ(block(kLists).hitCount[TO], 2);
    EXPECT_EQ(block(kLists).matchText[TO], "<MF-R>*example.net</MF-R>");
    EXPECT_EQ(block(kLists).instanceValue[TO][0], "1");
}

TEST_F(ListEvaluatorTest, SenderTokenStandsForTheEnvelopeSender) {
    context.sender = "[SMTP:sender@example.com]";
    evaluation.offer(BODY, "Mail from sender@example.com today", kWordDelimiters);
    EXPECT_EQ(block(kLists).hitCount[BODY], 1);
    EXPECT_EQ(block(kLists).matchText[BODY], "<MF-W>sender@example.com</MF-W>");

    evaluation.offer(FROM, "Me <Sender@Example.com>", kAddressDelimiters);
    EXPECT_EQ(block(kLists).hitCount[FROM], 1);
    EXPECT_EQ(block(kLists).matchText[FROM], "<MF-R>sender@example.com</MF-R>");

    newResults();
    evaluation.offer(BODY, "sender@example.community", kWordDelimiters);
    EXPECT_EQ(block(kLists).hitCount[BODY], 0);

    // Without a sender the token stands for nothing, which never matches.
    context.sender.clear();
    evaluation.offer(BODY, "[KZ_SENDER]", kWordDelimiters);
    EXPECT_EQ(block(kLists).hitCount[BODY], 0);
}

// The reading of the value is AddressLessLastCharacter's; here the cut and no message.
TEST(SenderTokenAddress, IsCutToTheSenderBufferAndEmptyWithoutAMessage) {
    MessageContext longSender;
    longSender.sender = "[SMTP:" + std::string(600, 'a') + "]";
    EXPECT_EQ(evaluate::SenderTokenAddress(&longSender), std::string(511, 'a'));
    EXPECT_EQ(evaluate::SenderTokenAddress(nullptr), "");
}

TEST_F(ListEvaluatorTest, CaseSettingComesFromTheRegistry) {
    evaluation.offer(SUBJECT, "FREE WINNER", kWordDelimiters);
    EXPECT_EQ(block(kLists).hitCount[SUBJECT], 2);

    test::RestartedSettings restarted;
    setDword(config::kAgentKey, config::kCaseSensitivity, 1);
    newResults();
    evaluation.offer(SUBJECT, "FREE WINNER", kWordDelimiters);
    // Whole words compare by the setting; middle segments ignore it.
    EXPECT_EQ(block(kLists).hitCount[SUBJECT], 1);
    EXPECT_EQ(block(kLists).matchText[SUBJECT], "<MF-W>*win*</MF-W>");
}

}  // namespace
}  // namespace kz::filters
