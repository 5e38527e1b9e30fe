#include "filters/criteria_script_tokens.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kz::filters {
namespace {

struct TokenCase {
    std::string script;
    std::vector<std::pair<std::string, std::string>> tokens;  // keyword, argument
};

TEST(ParseScriptTokens, ReadsArgumentsAsTheScannerDoes) {
    const std::string longText(1100, 'a');
    const TokenCase cases[] = {
        {"CriteriaMet([KZ_SUBJECT], \"free, offer\")", {{"SUBJECT", "free, offer"}}},
        // Unquoted: from the second character after "]" up to ")".
        {"CriteriaMet([KZ_SIZE], 50000)", {{"SIZE", " 50000"}}},
        {"CriteriaMet([KZ_SIZE] ,50000)", {{"SIZE", ",50000"}}},
        {"[KZ_SIZE] \r\n\t, \r\n\"spaced\"", {{"SIZE", "spaced"}}},
        // No comma: the no-argument marker, and the scan goes on after "]".
        {"If [KZ_HASANATTACHMENT] Then [KZ_BODY], \"x\"",
         {{"HASANATTACHMENT", "\r"}, {"BODY", "x"}}},
        {"[KZ_BODY]", {{"BODY", "\r"}}},
        // A missing closing quote or parenthesis: empty argument, scan ends.
        {"[KZ_BODY], \"a\" [KZ_SUBJECT], \"never closed [KZ_TO]", {{"BODY", "a"}, {"SUBJECT", ""}}},
        {"[KZ_SIZE], 5000 [KZ_BODY]", {{"SIZE", ""}}},
        {"[KZ_SIZE],", {{"SIZE", ""}}},
        {"[KZ_subject], \"x\"", {{"subject", "x"}}},
        {"[KZ_SUBJECT], \"\" [KZ_SUBJECT], \"viagra\"", {{"SUBJECT", ""}, {"SUBJECT", "viagra"}}},
        // No "]" after the opener: nothing more to find.
        {"[KZ_SUBJECT, \"x\"", {}},
        {"[kz_SUBJECT], \"x\"", {}},
        // Over-long texts are cut to 1023 characters.
        {"[KZ_" + longText + "]", {{longText.substr(0, 1023), "\r"}}},
        {"[KZ_BODY], \"" + longText + "\"", {{"BODY", longText.substr(0, 1023)}}},
    };
    for (const TokenCase& c : cases) {
        std::vector<ScriptToken> tokens = ParseScriptTokens(c.script);
        ASSERT_EQ(tokens.size(), c.tokens.size()) << c.script.substr(0, 60);
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            EXPECT_EQ(tokens[i].keyword, c.tokens[i].first) << c.script.substr(0, 60);
            EXPECT_EQ(tokens[i].argument, c.tokens[i].second) << c.script.substr(0, 60);
        }
    }
}

}  // namespace
}  // namespace kz::filters
