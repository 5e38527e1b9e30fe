#include <gtest/gtest.h>

#include <algorithm>

#include "unit/actions/dispatch_fixture.h"

namespace kz::test {
namespace {

using filters::CriterionType;

class DispatcherTest : public DispatchTest {
  protected:
    void hit(int position, CriterionType kind, const std::string& text) {
        results.block(position).hitCount[kind] = 1;
        results.block(position).matchText[kind] = text;
    }

    // A criteria table enabling the given kinds with threshold 1.
    static std::string criteria(std::initializer_list<CriterionType> kinds) {
        std::string text;
        for (int kind = 0; kind < filters::kCriterionCount; ++kind) {
            bool on = std::find(kinds.begin(), kinds.end(), CriterionType(kind)) != kinds.end();
            text += std::string(on ? "1" : "0") + "\t" +
                    std::string(filters::kCriterionKeywords[kind]) + "\tx\t\t\t1\n";
        }
        return text;
    }
};

TEST_F(DispatcherTest, FiltersThatAllFailWriteNothing) {
    configure("One\t1\tONE\t\tFirst\r\n", {{"CRITERIA/ONE.TAB", criteria({filters::SUBJECT})},
                                           {"ACTIONS/ONE.TAB", "1\t\t\tDELETE\t\n"}});
    EXPECT_EQ(dispatch(), 0);
    EXPECT_EQ(report, "");
    EXPECT_TRUE(exists(commandFile()));
}

TEST_F(DispatcherTest, MatchAllTakesTheVerdictOfTheLastEnabledCriterion) {
    configure("A\t1\tA\t\tA\t\t1\r\nB\t1\tB\t\tB\t\t1\r\n",
              {{"CRITERIA/A.TAB", criteria({filters::SUBJECT, filters::BODY})},
               {"CRITERIA/B.TAB", criteria({filters::SUBJECT, filters::BODY})},
               {"ACTIONS/A.TAB", "1\t\t\tCOPY_TO_BADMAIL\t\n"},
               {"ACTIONS/B.TAB", "1\t\t\tCOPY_TO_QUARANTINE\t\n"}});
    hit(1, filters::SUBJECT, "<MF-W>win</MF-W>");  // met before the unmet BODY: A fails
    hit(2, filters::BODY, "<MF-W>now</MF-W>");     // met after the unmet SUBJECT: B holds
    EXPECT_EQ(dispatch(), 1);
    EXPECT_FALSE(exists(badMail() + "/" + std::string(kMessageId)));
    EXPECT_TRUE(quarantined());
    EXPECT_EQ(report,
              "Executed\t" + std::string(kMessageId) +
                  "\tSMTP\tB\tCOPY_TO_QUARANTINE\t\t[SMTP:spammer@example.org]\t192.0.2.7\t"
                  "CRITERIA=SUBJECT, DATA=<MF-W>win</MF-W>|CRITERIA=BODY, MATCH=FALSE|"
                  "CRITERIA=SUBJECT, MATCH=FALSE|CRITERIA=BODY, DATA=<MF-W>now</MF-W>\tWin now\n");
}

TEST_F(DispatcherTest, ActionLinesFollowStatusCaseAndStop) {
    configure("Spam\t1\tSPAM\t\tSpam words\r\nLater\t1\tLATER\t\tNever reached\r\n",
              {{"CRITERIA/SPAM.TAB", criteria({filters::SUBJECT})},
               {"CRITERIA/LATER.TAB", criteria({filters::SUBJECT})},
               {"ACTIONS/SPAM.TAB",
                "0\t\t\tDELETE\tdisabled\n"
                "1\t\t\tCOPY_TO_QUARANTINE\t\n"
                "1\t\t\tSTOP_PROCESSING\t\n"
                "1\t\t\tdelete\t\n"},
               {"ACTIONS/LATER.TAB", "1\t\t\tCOPY_TO_BADMAIL\t\n"}});
    hit(1, filters::SUBJECT, "<MF-W>win</MF-W>");
    hit(2, filters::SUBJECT, "<MF-W>win</MF-W>");
    EXPECT_EQ(dispatch(), 1);
    EXPECT_NE(trace.find("Bypassing Action. Status Disabled\n"), std::string::npos);
    EXPECT_NE(trace.find("stop processing filters\n"), std::string::npos);
    EXPECT_NE(report.find("\tCOPY_TO_QUARANTINE,STOP_PROCESSING\t"), std::string::npos) << report;
    EXPECT_TRUE(exists(commandFile()));  // the "delete" after the stop never ran
    EXPECT_FALSE(exists(badMail() + "/" + std::string(kMessageId)));
}

TEST_F(DispatcherTest, LowerCaseKeywordRunsAndAShortLineTakesNothingFromTheLineBefore) {
    configure("Spam\t1\tSPAM\t\tSpam words\r\n",
              {{"CRITERIA/SPAM.TAB", criteria({filters::SUBJECT})},
               {"ACTIONS/SPAM.TAB", "1\t\t\tdelete\t\n1\n"}});
    hit(1, filters::SUBJECT, "<MF-W>win</MF-W>");
    dispatch();
    EXPECT_FALSE(exists(commandFile()));
    EXPECT_NE(report.find("\tdelete\t"), std::string::npos) << report;
    EXPECT_EQ(report.find("delete,delete"), std::string::npos) << report;
}

TEST_F(DispatcherTest, AddHeaderExpandsCriteriaAndSenderTokens) {
    configure(
        "Spam\t1\tSPAM\t\tSpam words\r\n",
        {{"CRITERIA/SPAM.TAB", criteria({filters::SUBJECT})},
         {"ACTIONS/SPAM.TAB", "1\t\tX-Spam-Reason|[KZ_CRITERIA] %SENDERADDRESS%\tADD_HEADER\t\n"}});
    hit(1, filters::SUBJECT, "<MF-W>win</MF-W>");
    dispatch();
    EXPECT_NE(readFile(messageFile()).find("X-Spam-Reason: SUBJECT spammer@example.org\r\n"),
              std::string::npos)
        << readFile(messageFile());
}

TEST_F(DispatcherTest, ASubjectPrefixThatFoundNoSubjectIsNotReported) {
    configure(
        "Spam\t1\tSPAM\t\tSpam words\r\n",
        {{"CRITERIA/SPAM.TAB", criteria({filters::SUBJECT})},
         {"ACTIONS/SPAM.TAB", "1\t\t[SPAM] \tADD_SUBJECT_PREFIX\t\n1\t\t\tCOPY_TO_BADMAIL\t\n"}});
    hit(1, filters::SUBJECT, "<MF-W>win</MF-W>");
    writeFile(messageFile(), "From: a@example.org\n\nSubject: only in the body\n");
    dispatch();
    EXPECT_NE(report.find("\tCOPY_TO_BADMAIL\t"), std::string::npos) << report;
    EXPECT_EQ(report.find("ADD_SUBJECT_PREFIX"), std::string::npos) << report;
}

}  // namespace
}  // namespace kz::test
