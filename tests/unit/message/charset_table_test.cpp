#include "message/charset_table.h"

#include <gtest/gtest.h>

namespace kz {
namespace {

TEST(CodePageForCharset, FirstMatchingRowWins) {
    struct Case {
        const char* name;
        unsigned codePage;
    } cases[] = {
        {"utf8", 65001},        {"Utf-8", 65001},
        {"ucs-2", 1200},        {"utf-32be", 12001},
        {"LATIN1", 28591},      {"Shift_JIS", 932},
        {"Euc-Kr", 949},         // the later 51949 row is shadowed
        {"iso-2022-jp", 50221},  // so are 50220 and 50222
        {"x-iscii-pa", 57011},   // the last row
        {"not-a-charset", 0},   {"", 0},
        {"utf-8 ", 0},          {"utf", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(CodePageForCharset(c.name), c.codePage) << c.name;
}

}  // namespace
}  // namespace kz
