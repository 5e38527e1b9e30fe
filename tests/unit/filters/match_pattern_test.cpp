#include "filters/match_pattern.h"

#include <gtest/gtest.h>

#include "support/case_file.h"

namespace kz::filters {
namespace {

// The delimiter sets the message scan passes for words and for addresses.
std::string_view Delimiters(const std::string& name) {
    return name == "words" ? " \r'\"\n" : name == "addresses" ? "' \r'\"\n<>;" : "";
}

TEST(MatchPattern, FollowsItsRules) {
    const auto cases = test::ReadCaseFile("filters/match_pattern_cases.txt");
    ASSERT_EQ(cases.size(), 46u);
    for (const test::CaseLine& c : cases) {
        const std::vector<std::string>& f = c.fields;
        ASSERT_EQ(f.size(), 6u) << "line " << c.number;
        EXPECT_EQ(MatchPattern(f[0], f[1], Delimiters(f[2]), f[3] == "cs"), std::stoi(f[4]))
            << "line " << c.number << ", " << f[5] << ": [" << f[1] << "] against [" << f[0] << "] "
            << f[3];
    }
}

}  // namespace
}  // namespace kz::filters
