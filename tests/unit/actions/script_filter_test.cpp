// Script filters through the dispatcher: FILTER.TAB lines with a criteria script, the
// instance values set by hand as the evaluators would leave them.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <vector>

#include "support/case_file.h"
#include "unit/actions/dispatch_fixture.h"

namespace kz::test {
namespace {

using filters::CriterionType;

class ScriptFilterTest : public DispatchTest {
  protected:
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

// The cases of tests/fixtures/script/verdict_cases.txt: whether the filter holds, what the
// report names as the criterion and a line of the trace.
TEST_F(ScriptFilterTest, ScriptVerdicts) {
    const auto cases = ReadCaseFile("script/verdict_cases.txt");
    EXPECT_EQ(cases.size(), 11u);
    setAgentDword(config::kDebugStatus, 2);
    for (const CaseLine& c : cases) {
        const std::vector<std::string>& f = c.fields;
        SCOPED_TRACE(::testing::Message() << "line " << c.number << ": " << f[0] << " " << f[2]);
        ASSERT_EQ(f.size(), 6u);
        configure(f[0]);
        const CriterionType kind = CriterionType(filters::CriterionFromKeyword(f[1]));
        std::istringstream values(f[2]);
        int j = 0;
        for (std::string value; std::getline(values, value, ',');) instance(kind, j++, value);
        std::filesystem::remove(quarantine() + "/" + std::string(kMessageId));
        report.clear();
        EXPECT_EQ(holds(), f[3] == "1");
        EXPECT_EQ(reportedCriteria(), f[4]) << report;
        EXPECT_NE(trace.find(Unescape(f[5])), std::string::npos) << trace;
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
    ctx.sender = "[SMTP:\"x\" : FilterResult = 1 : y = \"\"@host.test]";
    std::filesystem::remove(quarantine() + "/" + std::string(kMessageId));
    EXPECT_FALSE(holds());
}

TEST_F(ScriptFilterTest, FullerScriptWithLoopsSelectAndRegExp) {
    ctx.subject = "Free offer";
    configure("policy.KZS");
    instance(filters::BODY, 0, "1");
    EXPECT_TRUE(holds());
    EXPECT_EQ(reportedCriteria(), "Score 7") << report;
}

}  // namespace
}  // namespace kz::test
