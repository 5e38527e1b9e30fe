// Text limits and delimited fields.

#include <gtest/gtest.h>

#include "base/delimited_field.h"
#include "base/text_limit.h"
#include "support/case_file.h"

namespace kz {
namespace {

// A buffer of N bytes holds N-1 characters; one of 0 bytes holds none.
static_assert(TextLimit{4}.cut("abcdef") == "abc" && TextLimit{0}.cut("abc").empty());
static_assert(TextLimit{4}.wholeOrEmpty("abc") == "abc" &&
              TextLimit{4}.wholeOrEmpty("abcd").empty());

TEST(TextLimit, AssignReportsACutAndAppendKeepsTheLimit) {
    std::string out;
    EXPECT_TRUE(TextLimit{4}.assign(out, "abc"));
    EXPECT_FALSE(TextLimit{4}.assign(out, "abcd"));
    EXPECT_EQ(out, "abc");
    out = "ab";
    TextLimit{4}.append(out, "cd");
    TextLimit{4}.append(out, "e");
    EXPECT_EQ(out, "abc");
    TextLimit{0}.append(out, "x");
    EXPECT_EQ(out, "abc");
}

TEST(GetDelimitedField, FollowsTheFieldRules) {
    const auto cases = test::ReadCaseFile("base/delimited_field_cases.txt");
    EXPECT_EQ(cases.size(), 14u);
    for (const test::CaseLine& c : cases) {
        const std::vector<std::string>& f = c.fields;
        ASSERT_GE(f.size(), 7u) << "line " << c.number;
        std::string out = "UNCHANGED";
        const char escape = f[4] == "-" ? 0 : test::Unescape(f[4])[0];
        bool found = GetDelimitedField(test::Unescape(f[0]), test::Unescape(f[1]), std::stoi(f[2]),
                                       out, TextLimit{std::stoul(f[3])}, escape);
        EXPECT_EQ(found, f[5] == "1") << "line " << c.number;
        EXPECT_EQ(out, test::Unescape(f[6])) << "line " << c.number;
    }
}

TEST(CountDelimitedFields, CountsFromTheSecondCharacterAndStopsAtOneMillion) {
    for (const test::CaseLine& c : test::ReadCaseFile("base/field_count_cases.txt"))
        EXPECT_EQ(CountDelimitedFields(test::Unescape(c.fields[0]), test::Unescape(c.fields[1])),
                  std::stoi(c.fields[2]))
            << "line " << c.number;
    std::string line(1500000, ',');
    line[0] = 'a';
    EXPECT_EQ(CountDelimitedFields(line, ","), 1000000);
}

}  // namespace
}  // namespace kz
