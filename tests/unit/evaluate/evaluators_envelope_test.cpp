// The driver's envelope criteria: recipients, client address, account and connector,
// each against the envelope's own delimiters.

#include <gtest/gtest.h>

#include "host/message_driver.h"
#include "unit/evaluate/evaluators_fixture.h"

namespace kz::filters {
namespace {

class EnvelopeTest : public UncachedEvaluatorTest {
  protected:
    void SetUp() override {
        UncachedEvaluatorTest::SetUp();
        context.recipients = "[SMTP:a@example.com];[SMTP:b@other.org]";
        context.clientIp = "192.168.1.20";
        context.account = "Example.com";
        context.connectorName = "smtp";
        context.sender = "[SMTP:boss@example.com]";
    }

    std::string evaluate() {
        return traceOf([&] { evaluate::EvaluateEnvelopeCriteria(evaluation); });
    }
};

TEST_F(EnvelopeTest, EachEnvelopeValueIsMatchedOnce) {
    EXPECT_EQ(evaluate(), "");  // envelope hits write no trace
    const MatchResultBlock& lists = block(kLists);
    EXPECT_EQ(lists.hitCount[TOorCC], 1);
    EXPECT_EQ(lists.matchText[TOorCC], "<MF-E>*@example.com</MF-E>");
    EXPECT_EQ(lists.hitCount[IPADDRESS], 1);
    EXPECT_EQ(lists.matchText[IPADDRESS], "<MF-E>192.168.*</MF-E>");
    EXPECT_EQ(lists.hitCount[ACCOUNT], 1);
    EXPECT_EQ(lists.matchText[ACCOUNT], "<MF-E>example.com</MF-E>");
    EXPECT_EQ(lists.hitCount[CONNECTOR], 1);
    EXPECT_EQ(lists.matchText[CONNECTOR], "<MF-E>SMTP</MF-E>");
    EXPECT_EQ(lists.instanceValue[CONNECTOR][0], "1");
    for (int kind : {int(SUBJECT), int(FROM), int(IPADDRESS_WHITELISTED), int(SENDERAUTH)}) {
        EXPECT_EQ(lists.hitCount[kind], 0) << kind;
    }
}

TEST_F(EnvelopeTest, WordsEndAtTheEnvelopeDelimiters) {
    // ":" and "]" bound the address of an entry; "." does not end a word.
    context.recipients = "[SMTP:a@example.com.au]";
    context.clientIp = "10.1.2.30";
    context.account = "mail.example.com";
    evaluate();
    EXPECT_EQ(block(kLists).hitCount[TOorCC], 0);
    EXPECT_EQ(block(kLists).hitCount[IPADDRESS], 0);
    EXPECT_EQ(block(kLists).hitCount[ACCOUNT], 0);

    newResults();
    context.clientIp = "10.1.2.3";
    context.account = "[SMTP:example.com]";
    evaluate();
    EXPECT_EQ(block(kLists).hitCount[IPADDRESS], 1);
    EXPECT_EQ(block(kLists).matchText[IPADDRESS], "<MF-E>10.1.2.3</MF-E>");
    EXPECT_EQ(block(kLists).hitCount[ACCOUNT], 1);
}

}  // namespace
}  // namespace kz::filters
