#include <gtest/gtest.h>

#include <string>

#include "filters/config_lines.h"
#include "filters/filter_table.h"
#include "support/test_support.h"

namespace kz::filters {
namespace {

TEST(ResolveWordFile, ReferenceFormsAndInlineLists) {
    test::TempDir dir;
    test::writeFile(dir.path() + "/Filters/Patterns/Words.TXT", "w\n");
    FilterTable table;
    table.configurationDirectory = dir.path();
    const std::string patterns = dir.path() + "/Filters/Patterns/";
    const std::string windowsDir = "C:\\Lists\\Mail";

    struct Case {
        std::string data;
        std::optional<std::string> path;
    };
    const Case cases[] = {
        {"<REFERENCE><FILE>words.txt</FILE></REFERENCE>", patterns + "Words.TXT"},
        {"<REFERENCE><FILE>new\\list.txt</FILE></REFERENCE>", patterns + "new/list.txt"},
        {"<REFERENCE><PATH>" + windowsDir + "</PATH><FILE>a.txt</FILE></REFERENCE>",
         "C:/Lists/Mail/a.txt"},
        {"<REFERENCE><PATH>" + dir.path() + "\\FILTERS\\PATTERNS</PATH><FILE>WORDS.txt</FILE>",
         patterns + "Words.TXT"},
        {"", patterns + "MTAFILTER-GENERAL.TXT"},
        {"<REFERENCE><PATH>C:\\x</PATH></REFERENCE>", std::nullopt},  // no FILE
        {"<REFERENCE><FILE>unclosed.txt", std::nullopt},
        {"<reference><FILE>a.txt</FILE>", std::nullopt},  // the prefix is exact
        {"free\toffer", std::nullopt},
        {"<REFERENCE><FILE>" + std::string(254, 'f') + "</FILE>", patterns + std::string(254, 'f')},
        {"<REFERENCE><FILE>" + std::string(255, 'f') + "</FILE>", std::nullopt},
        {"<REFERENCE><PATH>" + std::string(1024, 'p') + "</PATH><FILE>a</FILE>", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolveWordFile(table, c.data), c.path) << c.data.substr(0, 80);
    }
}

TEST(ResolveWordFile, LongPathIsCutToItsField) {
    FilterTable table;
    std::string dir = "/" + std::string(1000, 'p');
    std::optional<std::string> path = ResolveWordFile(
        table, "<REFERENCE><PATH>" + dir + "</PATH><FILE>" + std::string(200, 'f') + "</FILE>");
    ASSERT_TRUE(path);
    EXPECT_EQ(path->size(), 1023u);
}

TEST(LoadPatternList, KeepsNonEmptyLinesInOrder) {
    test::TempDir dir;
    struct Case {
        const char* content;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"one\r\n\r\ntwo\r\none\r\nlast", {"one", "two", "one", "last"}},
        {"\n\nonly\n", {"only"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        std::string path = dir.file("list.txt");
        test::writeFile(path, c.content);
        PatternList list;
        LoadPatternList(path, list);
        EXPECT_EQ(list.path, path);
        EXPECT_EQ(list.lines, c.lines) << c.content;
    }
    PatternList missing{"stale", {"stale"}};
    LoadPatternList(dir.file("none.txt"), missing);
    EXPECT_TRUE(missing.lines.empty());
}

TEST(SplitConfigLines, LongLinesBecomePiecesOf2047) {
    const std::string fits(2047, 'a');
    EXPECT_EQ(SplitConfigLines(fits + "\nb"), (std::vector<std::string>{fits + "\n", "b"}));
    const std::string longer = fits + "xy";
    EXPECT_EQ(SplitConfigLines(longer + "\n"), (std::vector<std::string>{fits, "xy\n"}));
    const std::string twice = fits + fits + "z";
    EXPECT_EQ(SplitConfigLines(twice), (std::vector<std::string>{fits, fits, "z"}));
    EXPECT_EQ(SplitConfigLines("\n\n"), (std::vector<std::string>{"\n", "\n"}));
    EXPECT_TRUE(SplitConfigLines("").empty());
}

}  // namespace
}  // namespace kz::filters
