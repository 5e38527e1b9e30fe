#include "message/charset_table.h"

#include <gtest/gtest.h>

namespace kz {
namespace {

TEST(CharsetTable, HasAllRowsInOrder) {
    EXPECT_EQ(CharsetTable.size(), 327u);
    EXPECT_EQ(CharsetTable[0].name, "CP65001");
    EXPECT_EQ(CharsetTable[1].name, "UTF8");
    EXPECT_EQ(CharsetTable[2].name, "UTF-8");
    EXPECT_EQ(CharsetTable.back().name, "x-iscii-pa");
    EXPECT_EQ(CharsetTable.back().codePage, 57011u);
    for (const CharsetRow& row : CharsetTable) {
        EXPECT_FALSE(row.name.empty());
        EXPECT_NE(row.codePage, 0u) << row.name;
    }
}

TEST(CodePageForCharset, FirstMatchingRowWins) {
    struct Case {
        const char* name;
        unsigned codePage;
    } cases[] = {
        {"CP65001", 65001},
        {"utf8", 65001},
        {"Utf-8", 65001},
        {"UTF-16", 1200},
        {"ucs-2", 1200},
        {"CP1200", 1200},
        {"UTF-16BE", 1201},
        {"UTF-32", 12000},
        {"utf-32be", 12001},
        {"US", 20127},
        {"ascii", 20127},
        {"us-ascii", 20127},
        {"L1", 28591},
        {"latin1", 28591},
        {"LATIN1", 28591},
        {"iso8859-1", 28591},
        {"iso-8859-1", 28591},
        {"ISO-8859-1", 28591},
        {"SHIFFT_JIS", 932},
        {"shift_jis", 932},
        {"Shift_JIS", 932},
        {"EUC-KR", 949},
        {"euc-kr", 949},
        {"Euc-Kr", 949},  // the later 51949 row is shadowed
        {"ISO-2022-JP", 50221},
        {"iso-2022-jp", 50221},  // so are 50220 and 50222
        {"latin-9", 28605},
        {"ISO-8859-15", 28605},
        {"GB18030", 54936},
        {"gb2312", 936},
        {"windows-1252", 1252},
        {"koi8-r", 20866},
        {"euc-jp", 51932},
        {"x-iscii-pa", 57011},
        {"big5", 950},
        {"ks_c_5601-1987", 949},
        {"macintosh", 10000},
        {"not-a-charset", 0},
        {"", 0},
        {"utf-8 ", 0},
        {"utf", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(CodePageForCharset(c.name), c.codePage) << c.name;
}

}  // namespace
}  // namespace kz
