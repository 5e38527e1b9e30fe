#include "base/delimited_field.h"

#include <gtest/gtest.h>

namespace kz {
namespace {

struct FieldCase {
    const char* line;
    const char* delimiter;
    int field;
    std::size_t size;
    char escape;
    int result;
    const char* output;  // after the call; "UNCHANGED" keeps the prefilled text
};

TEST(GetDelimitedField, FollowsTheFieldRules) {
    const FieldCase cases[] = {
        {"a\tb\tc", "\t", 1, 64, 0, 1, "a"},
        {"a\tb\tc", "\t", 3, 64, 0, 1, "c"},
        {"a\tb\tc", "\t", 4, 64, 0, 0, "UNCHANGED"},     // absent field keeps the output
        {"whole line", ",", 1, 64, 0, 1, "whole line"},  // no delimiter: one field
        {"whole line", ",", 2, 64, 0, 0, "UNCHANGED"},
        {"a\t\tc", "\t", 2, 64, 0, 1, ""},          // empty field is present
        {"abcd\tx", "\t", 1, 5, 0, 1, "abcd"},      // four characters fit five bytes
        {"abcde\tx", "\t", 1, 5, 0, 0, ""},         // five do not: empty, 0
        {"a\\,b,c", ",", 1, 64, '\\', 1, "a\\,b"},  // escaped delimiter stays in field
        {"a\\,b,c", ",", 2, 64, '\\', 1, "c"},
        {"a\\,b,c", ",", 2, 64, 0, 1, "b"},                  // without escape it splits
        {"oneANDtwoandthree", "and", 3, 64, 0, 1, "three"},  // delimiter found in any case
        {"a\tb", "\t", 0, 64, 0, 0, "UNCHANGED"},
        {"", "\t", 1, 64, 0, 1, ""},
    };
    for (const FieldCase& c : cases) {
        std::string out = "UNCHANGED";
        int rc = GetDelimitedField(c.line, c.delimiter, c.field, out, c.size, c.escape);
        EXPECT_EQ(rc, c.result) << c.line << " field " << c.field;
        EXPECT_EQ(out, c.output) << c.line << " field " << c.field;
    }
}

TEST(CountDelimitedFields, CountsFromTheSecondCharacter) {
    EXPECT_EQ(CountDelimitedFields("", "\t"), 0);
    EXPECT_EQ(CountDelimitedFields("x", "\t"), 1);
    EXPECT_EQ(CountDelimitedFields("a\tb\tc", "\t"), 3);
    EXPECT_EQ(CountDelimitedFields("\tb", "\t"), 1);  // a leading delimiter is not counted
    EXPECT_EQ(CountDelimitedFields("a\t", "\t"), 2);
    EXPECT_EQ(CountDelimitedFields("aXbxc", "x"), 3);
}

TEST(CountDelimitedFields, StopsAtOneMillion) {
    std::string line(1500000, ',');
    line[0] = 'a';
    EXPECT_EQ(CountDelimitedFields(line, ","), 1000000);
}

}  // namespace
}  // namespace kz
