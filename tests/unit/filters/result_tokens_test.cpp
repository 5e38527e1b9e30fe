#include "filters/result_tokens.h"

#include <gtest/gtest.h>

#include <string>

#include "support/case_file.h"

namespace kz::filters {
namespace {

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
