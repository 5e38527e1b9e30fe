#include "filters/criteria_script_tokens.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/case_file.h"

namespace kz::filters {
namespace {

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

}  // namespace
}  // namespace kz::filters
