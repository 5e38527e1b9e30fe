#include <gtest/gtest.h>

#include <string>

#include "filters/config_lines.h"
#include "filters/filter_table.h"
#include "support/case_file.h"
#include "support/test_support.h"

namespace kz::filters {
namespace {

TEST(ResolveWordFile, ReferenceFormsAndInlineLists) {
    test::TempDir dir;
    test::writeFile(dir.path() + "/Filters/Patterns/Words.TXT", "w\n");
    FilterTable table;
    table.configurationDirectory = dir.path();
    const std::string patterns = dir.path() + "/Filters/Patterns/";
    // The "$DIR" and "$P" of the case file.
    auto place = [&](std::string text) {
        for (auto [mark, value] :
             {std::pair<std::string, std::string>{"$DIR", dir.path()}, {"$P", patterns}}) {
            for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark))
                text.replace(at, mark.size(), value);
        }
        return text;
    };
    const auto cases = test::ReadCaseFile("filters/word_file_cases.txt");
    EXPECT_EQ(cases.size(), 12u);
    for (const test::CaseLine& c : cases) {
        const std::optional<std::string> expected =
            c.fields[1] == "-" ? std::nullopt : std::optional(place(c.fields[1]));
        EXPECT_EQ(ResolveWordFile(table, place(test::Unescape(c.fields[0]))), expected)
            << "line " << c.number;
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

// Either line end, blank lines anywhere, repeats kept, no end after the last line.
TEST(LoadPatternList, KeepsNonEmptyLinesInOrder) {
    test::TempDir dir;
    const std::string path = dir.file("list.txt");
    test::writeFile(path, "\n\none\r\n\r\ntwo\none\r\nlast");
    std::shared_ptr<const PatternList> list = LoadPatternList(path);
    EXPECT_EQ(list->path, path);
    EXPECT_EQ(list->lines(), (std::vector<std::string>{"one", "two", "one", "last"}));
    test::writeFile(path, "");
    EXPECT_TRUE(LoadPatternList(path)->lines().empty());
    EXPECT_TRUE(LoadPatternList(dir.file("none.txt"))->lines().empty());
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
