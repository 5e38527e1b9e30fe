#include "message/charset_table.h"

#include <gtest/gtest.h>

#include "support/case_file.h"

namespace kz {
namespace {

TEST(CodePageForCharset, FirstMatchingRowWins) {
    const auto cases = test::ReadCaseFile("mime/charset_cases.txt");
    EXPECT_EQ(cases.size(), 13u);
    for (const test::CaseLine& c : cases)
        EXPECT_EQ(CodePageForCharset(c.fields[0]), std::stoul(c.fields[1])) << "line " << c.number;
}

}  // namespace
}  // namespace kz
