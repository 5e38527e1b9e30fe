// Criterion slots and keywords, the tokens read from criteria scripts and the result
// tokens expanded in action data.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "filters/criteria_results.h"
#include "filters/criteria_script_tokens.h"
#include "filters/filter_table.h"
#include "filters/result_tokens.h"
#include "support/case_file.h"

namespace kz::filters {
namespace {

TEST(CriterionSlot, InstanceDataPlacedInstancesAndKeywords) {
    CriterionSlot single{1, "free\toffer", 1, 1, {}};
    EXPECT_EQ(single.instanceData(0), "free\toffer");         // one instance: tabs are alternatives
    EXPECT_EQ(single.instanceData(0, TextLimit{5}), "free");  // cut to the buffer
    EXPECT_EQ(single.resultInstanceCount(), 1);

    CriterionSlot several{1, "free\t" + std::string(30, 'x'), 0, 2, {}};
    EXPECT_EQ(several.instanceData(0), "free");
    EXPECT_EQ(several.instanceData(1, TextLimit{30}), "");  // a field that does not fit reads empty
    EXPECT_EQ(several.instanceData(2), "");                 // absent

    EXPECT_EQ((CriterionSlot{1, "", 0, 16, {}}).resultInstanceCount(), 16);
    EXPECT_EQ((CriterionSlot{1, "", 0, 40, {}}).resultInstanceCount(), kMaxInstances);
    EXPECT_EQ((CriterionSlot{}).resultInstanceCount(), 0);
    // Keywords are found whatever their case, as whole words.
    EXPECT_EQ(CriterionFromKeyword("SUBJECT"), SUBJECT);
    EXPECT_EQ(CriterionFromKeyword("toorcc"), TOorCC);
    EXPECT_EQ(CriterionFromKeyword("Country_NoMatch"), COUNTRY_NOMATCH);
    EXPECT_EQ(CriterionFromKeyword("IPADDRESS"), IPADDRESS);  // not IPADDRESS_WHITELISTED
    EXPECT_EQ(CriterionFromKeyword("SUBJECTS"), -1);
    EXPECT_EQ(CriterionFromKeyword(""), -1);
}

// The tokens read from a script: keyword, argument.
using Tokens = std::vector<std::pair<std::string, std::string>>;

Tokens TokensOf(const std::string& script) {
    Tokens tokens;
    for (const ScriptToken& token : ParseScriptTokens(script))
        tokens.emplace_back(token.keyword, token.argument);
    return tokens;
}

TEST(ParseScriptTokens, ReadsArgumentsAsTheScannerDoes) {
    const auto cases = test::ReadCaseFile("script/token_cases.txt");
    EXPECT_EQ(cases.size(), 13u);
    for (const test::CaseLine& c : cases) {
        Tokens expected;
        for (std::size_t i = 1; i + 1 < c.fields.size(); i += 2)
            expected.emplace_back(c.fields[i], test::Unescape(c.fields[i + 1]));
        EXPECT_EQ(TokensOf(test::Unescape(c.fields[0])), expected) << "line " << c.number;
    }
    // Over-long texts are cut to 1023 characters.
    const std::string longText(1100, 'a');
    EXPECT_EQ(TokensOf("[KZ_" + longText + "]"), (Tokens{{longText.substr(0, 1023), "\r"}}));
    EXPECT_EQ(TokensOf("[KZ_BODY], \"" + longText + "\""),
              (Tokens{{"BODY", longText.substr(0, 1023)}}));
}

TEST(ExpandResultTokens, FollowsItsRules) {
    const auto cases = test::ReadCaseFile("filters/result_token_cases.txt");
    EXPECT_EQ(cases.size(), 12u);
    for (const test::CaseLine& c : cases) {
        ASSERT_GE(c.fields.size(), 5u) << "line " << c.number;
        std::string text = test::Unescape(c.fields[1]);
        ExpandResultTokens(test::Unescape(c.fields[0]), text, TextLimit{std::stoul(c.fields[2])},
                           std::stoi(c.fields[3]));
        EXPECT_EQ(text, test::Unescape(c.fields[4])) << "line " << c.number;
    }
}

}  // namespace
}  // namespace kz::filters
