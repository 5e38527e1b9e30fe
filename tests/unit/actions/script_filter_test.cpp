// Script filters through the dispatcher: FILTER.TAB lines with a criteria script, the
// instance values set by hand as the evaluators would leave them.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "unit/actions/dispatch_fixture.h"

namespace kz::test {
namespace {

using filters::CriterionType;

class ScriptFilterTest : public DispatchTest {
  protected:
    void TearDown() override {
        registry().deleteValue(config::reg::kAgentKey, config::kDebugStatus);
        registry().deleteValue(config::reg::kAgentKey, config::kScriptLiteralMode);
        config::ReadAttachSettings();
        DispatchTest::TearDown();
    }

    void setAgentDword(std::string_view name, uint32_t value) {
        setDword(config::reg::kAgentKey, name, value);
        config::ReadAttachSettings();
    }

    // One filter "Spam" whose criteria are the named fixture script, quarantining.
    void configure(const std::string& script) {
        DispatchTest::configure("Spam\t1\tSPAM\t\tSpam script\r\n",
                                {{"CRITERIA/SPAM.KZS", readFile(fixture("script/" + script))},
                                 {"ACTIONS/SPAM.TAB", "1\t\t\tCOPY_TO_QUARANTINE\t\n"}});
    }

    void instance(CriterionType kind, int j, const std::string& value) {
        results.block(1).instanceValue[kind][std::size_t(j)] = value;
    }

    bool holds() {
        dispatch();
        return quarantined();
    }

    // The criteria field of the report line.
    std::string reportedCriteria() const {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab; (tab = report.find('\t', start)) != std::string::npos;
             start = tab + 1)
            fields.push_back(report.substr(start, tab - start));
        return fields.size() > 8 ? fields[8] : std::string();
    }
};

TEST_F(ScriptFilterTest, MetSubjectTokenHoldsWithResultTextScript) {
    configure("subject_free.KZS");
    instance(filters::SUBJECT, 0, "1");
    EXPECT_TRUE(holds());
    EXPECT_EQ(reportedCriteria(), "SCRIPT") << report;
    EXPECT_NE(trace.find("Checking Filter[1]Criteria[0]::(1)->49\nSetting True value 1\n"),
              std::string::npos)
        << trace;
}

TEST_F(ScriptFilterTest, UnmetSubjectTokenDoesNotHold) {
    configure("subject_free.KZS");
    EXPECT_FALSE(holds());
    EXPECT_NE(trace.find("Checking Filter[1]Criteria[0]::()->0\nSetting False\n"),
              std::string::npos)
        << trace;
    EXPECT_EQ(report, "");
}

// Scripts whose verdict turns on one value: the subject instances set (in order) and what
// the report names as the criterion when the filter holds.
TEST_F(ScriptFilterTest, ScriptVerdicts) {
    struct Case {
        const char* script;
        std::vector<const char*> subjects;
        bool holds;
        const char* criteria;
    } cases[] = {
        {"assigns_true.KZS", {"1"}, false, ""},  // True is -1
        {"result_data.KZS", {"1"}, true, "Lottery scam"},
        {"two_subjects.KZS", {"1", "0"}, true, "SCRIPT"},
        {"two_subjects.KZS", {"1", "1"}, false, ""},  // the word to avoid was found
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.script) + " " + c.subjects.back());
        configure(c.script);
        for (std::size_t j = 0; j < c.subjects.size(); ++j)
            instance(filters::SUBJECT, int(j), c.subjects[j]);
        std::filesystem::remove(quarantine() + "/" + std::string(kMessageId));
        report.clear();
        EXPECT_EQ(holds(), c.holds);
        EXPECT_EQ(reportedCriteria(), c.criteria) << report;
    }
}

TEST_F(ScriptFilterTest, SizeTokenIsTheMessageSize) {
    configure("size_over.KZS");
    instance(filters::SIZE, 0, "100000");
    EXPECT_FALSE(holds());
    instance(filters::SIZE, 0, "100001");
    EXPECT_TRUE(holds());
}

TEST_F(ScriptFilterTest, LiteralModeZeroLeavesPlaceholders) {
    configure("subject_placeholder.KZS");
    EXPECT_FALSE(holds());  // literal mode 1 by default: the subject replaced it
    setAgentDword(config::kScriptLiteralMode, 0);
    EXPECT_TRUE(holds());
}

TEST_F(ScriptFilterTest, SubjectQuotesAreDoubled) {
    ctx.Subject = "Say \"hi\" now";
    configure("subject_quoted.KZS");
    EXPECT_TRUE(holds());
}

TEST_F(ScriptFilterTest, TokenInAnotherCaseReachesTheEngineUnchanged) {
    configure("token_other_case.KZS");
    instance(filters::SUBJECT, 0, "1");
    setAgentDword(config::kDebugStatus, 2);
    EXPECT_TRUE(holds());
    EXPECT_NE(trace.find("If IsEmpty([KZ_subject]) Then"), std::string::npos) << trace;
}

TEST_F(ScriptFilterTest, SyntaxErrorIsLoggedAndDoesNotHold) {
    configure("syntax_error.KZS");
    instance(filters::SUBJECT, 0, "1");
    setAgentDword(config::kDebugStatus, 2);
    EXPECT_FALSE(holds());
    EXPECT_NE(trace.find("Executing filter script for Spam script\n"), std::string::npos);
    EXPECT_NE(trace.find("Syntax Error Occurred in Filtering Script\n"), std::string::npos);
    EXPECT_NE(trace.find("Script in error follows:\n"), std::string::npos);
    EXPECT_NE(trace.find("Kaztrel Filter Script incurred an error: (-2146827276) Expected 'If'\n"),
              std::string::npos)
        << trace;
}

TEST_F(ScriptFilterTest, EndlessLoopIsStoppedAndDoesNotHold) {
    configure("endless.KZS");
    setAgentDword(config::kDebugStatus, 2);
    EXPECT_FALSE(holds());
    EXPECT_NE(trace.find("Script failed. 'KZ_Execute()' function returned value = 0.\n"),
              std::string::npos);
    EXPECT_NE(
        trace.find("Kaztrel Filter Script incurred an error: (-2147023436) Script timed out\n"),
        std::string::npos)
        << trace;
}

TEST_F(ScriptFilterTest, QuotesInTheSenderCannotBecomeScriptCode) {
    configure("sender_literal.KZS");
    EXPECT_TRUE(holds());
    ctx.Sender = "[SMTP:\"x\" : FilterResult = 1 : y = \"\"@host.test]";
    std::filesystem::remove(quarantine() + "/" + std::string(kMessageId));
    EXPECT_FALSE(holds());
}

TEST_F(ScriptFilterTest, FullerScriptWithLoopsSelectAndRegExp) {
    ctx.Subject = "Free offer";
    configure("policy.KZS");
    instance(filters::BODY, 0, "1");
    EXPECT_TRUE(holds());
    EXPECT_EQ(reportedCriteria(), "Score 7") << report;
}

}  // namespace
}  // namespace kz::test
