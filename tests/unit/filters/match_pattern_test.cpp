#include "filters/match_pattern.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "filters/compiled_word_list.h"
#include "filters/compiled_word_search.h"
#include "filters/filter_table.h"
#include "filters/word_file_snapshots.h"
#include "filters/word_lists.h"
#include "support/case_file.h"
#include "support/test_support.h"

namespace kz::filters {
namespace {

// The delimiter sets the message scan passes for words and for addresses.
std::string_view Delimiters(const std::string& name) {
    return name == "words" ? " \r'\"\n" : name == "addresses" ? "' \r'\"\n<>;" : "";
}

// Each case holds for the matcher and for a compiled list of the one pattern.
TEST(MatchPattern, FollowsItsRules) {
    const auto cases = test::ReadCaseFile("filters/match_pattern_cases.txt");
    ASSERT_EQ(cases.size(), 46u);
    for (const test::CaseLine& c : cases) {
        const std::vector<std::string>& f = c.fields;
        ASSERT_EQ(f.size(), 6u) << "line " << c.number;
        const bool expected = f[4] == "1";
        const bool caseSensitive = f[3] == "cs";
        EXPECT_EQ(MatchPattern(f[0], f[1], Delimiters(f[2]), caseSensitive), expected)
            << "line " << c.number << ", " << f[5] << ": [" << f[1] << "] against [" << f[0] << "] "
            << f[3];
        const SharedWordSearch one(
            {std::make_shared<const CompiledWordList>(std::vector<std::string>{f[1]})});
        const auto found = one.search(f[0], Delimiters(f[2]), caseSensitive);
        EXPECT_EQ(!one.matches(found, 0, f[0], Delimiters(f[2]), caseSensitive).empty(), expected)
            << "compiled, line " << c.number << ", " << f[5];
    }
}

// Lists answer for every entry in order, duplicates included, alone or searched together
// (keys shared between lists, shallow rows only); entries that can overlap themselves
// across a delimiter keep the matcher's skipping rule.
TEST(CompiledWordList, MatchesEveryEntryAsTheMatcher) {
    const std::vector<std::vector<std::string>> lists = {
        {"free", "*offer", "FREE", "", "free", "a a", "**EE O", "fr*", "*", "a", "*a*a", "ree"},
        {"Free", "offer*", "a"},
        {}};
    std::vector<WordListRef> shared;
    for (const auto& entries : lists) {
        shared.push_back(std::make_shared<const CompiledWordList>(entries));
    }
    const SharedWordSearch search(shared);
    const SharedWordSearch sparse(shared, 1);
    for (std::string_view text :
         {"Free offer", "free offer xa a a", "xa a a", "", "FREE", "x **ee o** y"}) {
        for (bool caseSensitive : {false, true}) {
            const auto found = search.search(text, " ", caseSensitive);
            const auto sparseFound = sparse.search(text, " ", caseSensitive);
            for (std::size_t l = 0; l < lists.size(); ++l) {
                const auto expected = MatchEachPattern(text, lists[l], " ", caseSensitive);
                EXPECT_EQ(search.matches(found, l, text, " ", caseSensitive), expected) << text;
                EXPECT_EQ(sparse.matches(sparseFound, l, text, " ", caseSensitive), expected);
            }
        }
    }
    EXPECT_EQ(search.matches(search.search("free offer", " ", false), 0, "free offer", " ", false),
              (std::vector<std::size_t>{0, 1, 2, 4, 7, 8}));

    // Word files read afresh join the fixed lists; a new version gets a new search.
    const KindWordSearch kind({shared[1]});
    const auto withFirst = kind.with({shared[0]});
    EXPECT_EQ(kind.with({shared[0]}), withFirst);
    const auto withOther = kind.with({shared[2], shared[0]});
    EXPECT_NE(withOther, withFirst);
    const auto found = withOther->search("a a", " ", false);
    EXPECT_EQ(withOther->matches(found, 0, "a a", " ", false), (std::vector<std::size_t>{2}));
    EXPECT_EQ(withOther->matches(found, 2, "a a", " ", false),
              MatchEachPattern("a a", lists[0], " ", false));
}

// Without pattern caching a word file is read afresh: a changed file gives its new
// lines, even at the same size; a file that cannot be read gives none. Reference
// matching reads it at every evaluation, even when its stamp did not move.
TEST(CurrentWordFile, FollowsTheFile) {
    namespace fs = std::filesystem;
    test::TempDir dir;
    const std::string path = dir.file("words.txt");
    const auto now = fs::file_time_type::clock::now();
    test::writeFile(path, "alpha\n\ncheap*\n");
    fs::last_write_time(path, now - std::chrono::hours(2));
    EXPECT_EQ(CurrentWordFile(path)->entries(), (std::vector<std::string>{"alpha", "", "cheap*"}));
    test::writeFile(path, "bravo\n\ncheap*\n");
    fs::last_write_time(path, now - std::chrono::hours(2));
    FilterTable table;
    table.referenceMatching = true;
    MatchResultBlock block;
    EXPECT_TRUE(MatchInstanceWordFile(
        table, "bravo", " ", "<REFERENCE><FILE>words.txt</FILE><PATH>" + dir.path() + "</PATH>",
        SUBJECT, 0, block, "MF-W"));
    EXPECT_EQ(block.matchText[SUBJECT], "<MF-W>bravo</MF-W>");
    fs::last_write_time(path, now - std::chrono::hours(1));
    EXPECT_EQ(CurrentWordFile(path)->entries(), (std::vector<std::string>{"bravo", "", "cheap*"}));
    fs::remove(path);
    EXPECT_EQ(CurrentWordFile(path), nullptr);
}

}  // namespace
}  // namespace kz::filters
