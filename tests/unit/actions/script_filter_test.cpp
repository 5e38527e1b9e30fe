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

// Scripts whose verdict turns on the instance values of one kind (set in order): whether
// the filter holds, what the report names as the criterion and a line of the trace.
TEST_F(ScriptFilterTest, ScriptVerdicts) {
    struct Case {
        const char* script;
        CriterionType kind;
        std::vector<const char*> values;
        bool holds;
        const char* criteria;
        const char* trace;
    } cases[] = {
        {"subject_free.KZS",
         filters::SUBJECT,
         {"1"},
         true,
         "SCRIPT",
         "Checking Filter[1]Criteria[0]::(1)->49\nSetting True value 1\n"},
        {"subject_free.KZS",
         filters::SUBJECT,
         {},
         false,
         "",
         "Checking Filter[1]Criteria[0]::()->0\nSetting False\n"},
        {"assigns_true.KZS", filters::SUBJECT, {"1"}, false, "", ""},  // True is -1
        {"result_data.KZS", filters::SUBJECT, {"1"}, true, "Lottery scam", ""},
        {"two_subjects.KZS", filters::SUBJECT, {"1", "0"}, true, "SCRIPT", ""},
        {"two_subjects.KZS", filters::SUBJECT, {"1", "1"}, false, "", ""},  // the word to avoid
        {"size_over.KZS", filters::SIZE, {"100000"}, false, "", ""},
        {"size_over.KZS", filters::SIZE, {"100001"}, true, "SCRIPT", ""},
        // A token in another case reaches the engine unchanged.
        {"token_other_case.KZS",
         filters::SUBJECT,
         {"1"},
         true,
         "SCRIPT",
         "If IsEmpty([KZ_subject]) Then"},
        {"syntax_error.KZS",
         filters::SUBJECT,
         {"1"},
         false,
         "",
         "Executing filter script for Spam script\n"},
        {"endless.KZS", filters::SUBJECT, {}, false, "", "Script timed out\n"},
    };
    setAgentDword(config::kDebugStatus, 2);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.script) + " " + (c.values.empty() ? "" : c.values.back()));
        configure(c.script);
        for (std::size_t j = 0; j < c.values.size(); ++j) instance(c.kind, int(j), c.values[j]);
        std::filesystem::remove(quarantine() + "/" + std::string(kMessageId));
        report.clear();
        EXPECT_EQ(holds(), c.holds);
        EXPECT_EQ(reportedCriteria(), c.criteria) << report;
        EXPECT_NE(trace.find(c.trace), std::string::npos) << trace;
    }
}

TEST_F(ScriptFilterTest, LiteralModeZeroLeavesPlaceholders) {
    configure("subject_placeholder.KZS");
    EXPECT_FALSE(holds());  // literal mode 1 by default: the subject replaced it
    setAgentDword(config::kScriptLiteralMode, 0);
    EXPECT_TRUE(holds());
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
