#include "filters/filter_table.h"

#include <gtest/gtest.h>

#include <string>

#include "support/case_file.h"
#include "support/test_support.h"

namespace kz::filters {
namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

const std::string kConfig = test::fixture("filters/config");

// Loads a configuration directory and returns the trace it wrote.
std::string load(FilterTable& table, const std::string& dir, bool caching = false) {
    CaptureStdout();
    LoadFilterTable(table, LoadOptions{dir, caching});
    return GetCapturedStdout();
}

int countOf(const std::string& text, const std::string& needle) {
    int n = 0;
    for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

TEST(LoadFilterTable, ReadsTheFixtureConfiguration) {
    FilterTable table;
    std::string trace = load(table, kConfig);
    EXPECT_NE(trace.find("Loaded 8 Filters\n"), std::string::npos);
    ASSERT_EQ(table.filterCount(), 8);
    const auto cases = test::ReadCaseGroups("filters/loaded_table.txt");
    // Compares unless the case file says "*".
    const auto expect = [](const std::string& field, const auto& actual, const test::CaseLine& c) {
        if (field != "*") {
            EXPECT_EQ(test::Unescape(field), std::string(actual)) << "line " << c.number;
        }
    };
    for (const test::CaseLine& c : cases.at("Filters")) {
        const FilterDefinition& filter = table.filter(std::stoi(c.fields[0]));
        expect(c.fields[1], filter.name, c);
        expect(c.fields[2], filter.description, c);
        expect(c.fields[3], filter.matchAll ? "1" : "0", c);
    }
    for (const test::CaseLine& c : cases.at("Slots")) {
        const CriterionSlot& slot =
            table.filter(std::stoi(c.fields[0])).slots[CriterionFromKeyword(c.fields[1])];
        expect(c.fields[2], std::to_string(slot.enabled), c);
        expect(c.fields[3], slot.data, c);
        expect(c.fields[4], std::to_string(slot.threshold), c);
        expect(c.fields[5], std::to_string(slot.instanceCount), c);
    }
    EXPECT_EQ(table.filter(4).criteriaName, "");
    for (const CriterionSlot& slot : table.filter(5).slots) {  // no criteria file
        EXPECT_EQ(slot.enabled, 0);
        EXPECT_EQ(slot.instanceCount, 0);
    }
    EXPECT_TRUE(table.hasScriptFilters());
    EXPECT_EQ(table.patternCache.size(), 0u);  // caching off

    const FilterDefinition& filter = table.filter(2);
    EXPECT_FALSE(filter.isScript);
    EXPECT_EQ(filter.scriptText, "");
    EXPECT_FALSE(filter.slots[TOorCC].isEnabled());
    for (int k = 5; k < kCriterionCount; ++k) EXPECT_EQ(filter.slots[k].instanceCount, 0) << k;
    // 30 lines: the first 27 fill the slots, the rest is ignored.
    for (int k = 0; k < kCriterionCount; ++k) {
        EXPECT_EQ(table.filter(6).slots[k].instanceCount, 1) << k;
        EXPECT_EQ(table.filter(6).slots[k].data, "word" + std::to_string(k) + "\n") << k;
    }

    // A script takes precedence over the table and enables its tokens.
    const FilterDefinition& spam = table.filter(1);
    EXPECT_TRUE(spam.isScript);
    EXPECT_NE(spam.scriptText.find("[KZ_NOSUCHKIND]"), std::string::npos);
    EXPECT_EQ(spam.scriptText.find('\r'), std::string::npos);  // read in text mode
    EXPECT_EQ(spam.slots[SUBJECT].instanceData(1), "cialis");
    int enabled = 0;
    for (const CriterionSlot& slot : spam.slots) enabled += slot.enabled;
    EXPECT_EQ(enabled, 4);  // the unknown keyword is ignored
    EXPECT_NE(trace.find("Setting Critieria:0:viagra\nSetting Critieria:0:cialis\n"
                         "Setting Critieria:9:\r\nSetting Critieria:7: 50000\n"),
              std::string::npos);
}

TEST(LoadFilterTable, PatternCacheReadsEachWordFileOnce) {
    FilterTable table;
    std::string trace = load(table, kConfig, true);
    const std::string patterns = kConfig + "/FILTERS/PATTERNS/";
    const std::string words = patterns + "SpamWords.txt";  // named in two spellings
    const std::string general = patterns + "MTAFILTER-GENERAL.TXT";
    const std::string missing = patterns + "missing-list.txt";

    EXPECT_EQ(countOf(trace, "into pattern cache"), 3) << trace;
    EXPECT_NE(trace.find("Loading " + words + " into pattern cache from simple filter\n"),
              std::string::npos);
    EXPECT_NE(trace.find("Loading " + general + " into pattern cache\n"), std::string::npos);

    ASSERT_EQ(table.patternCache.size(), 3u);
    const PatternList* list = FindPatternList(table, words);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->path, words);
    EXPECT_EQ(list->lines(), (std::vector<std::string>{"viagra", "cheap *", "**win**"}));
    ASSERT_NE(FindPatternList(table, missing), nullptr);
    EXPECT_TRUE(FindPatternList(table, missing)->lines().empty());
    EXPECT_EQ(FindPatternList(table, general)->lines(),
              (std::vector<std::string>{"lottery", "prize"}));
    // Exact byte comparison: another spelling is another key.
    EXPECT_EQ(FindPatternList(table, patterns + "SPAMWORDS.TXT"), nullptr);
}

TEST(LoadFilterTable, HundredFiltersAtMost) {
    for (int lines : {100, 101}) {
        test::TempDir dir;
        std::string text;
        for (int i = 1; i <= lines; ++i) text += "F" + std::to_string(i) + "\t1\tNONE\n";
        text += "AfterTheLimit\t1\tNONE\n";
        if (lines == 100) text.erase(text.rfind("AfterTheLimit"));
        test::writeFile(dir.path() + "/FILTERS/FILTER.TAB", text);
        FilterTable table;
        std::string trace = load(table, dir.path());
        EXPECT_EQ(table.filterCount(), 100) << lines;
        EXPECT_EQ(table.filter(100).name, "F100");
        EXPECT_EQ(countOf(trace, "Too Many Filters Defined\r\n"), lines == 100 ? 0 : 1);
        EXPECT_NE(trace.find("Loaded 100 Filters\n"), std::string::npos);
    }
}

TEST(LoadFilterTable, LinesOverTheLimitAreReadInPiecesAndAMissingTableLoadsNothing) {
    test::TempDir dir;
    std::string head = "Long\t1\tNONE\t\t";
    std::string line = head + std::string(2047 - head.size(), 'd') + "Tail\t1\tNONE\n";
    test::writeFile(dir.path() + "/filters/filter.tab", line);
    FilterTable table;
    load(table, dir.path());
    ASSERT_EQ(table.filterCount(), 2);
    EXPECT_EQ(table.filter(1).description, "");  // over 255 characters
    EXPECT_EQ(table.filter(2).name, "Tail");
    // A missing FILTER.TAB loads nothing.
    test::TempDir empty;
    FilterTable none;
    EXPECT_EQ(load(none, empty.path()), "Loaded 0 Filters\n");
    EXPECT_EQ(none.filterCount(), 0);
    EXPECT_FALSE(none.hasScriptFilters());
}

TEST(LoadFilterTable, ScriptTokensBeyondTheResultRowAreKeptButNotPlaced) {
    test::TempDir dir;
    test::writeFile(dir.path() + "/FILTERS/FILTER.TAB", "Many\t1\tMANY\n");
    std::string script = "x = CriteriaMet([KZ_SUBJECT], \"\")\n";
    for (int i = 1; i < 18; ++i)
        script += "x = CriteriaMet([KZ_SUBJECT], \"w" + std::to_string(i) + "\")\n";
    test::writeFile(dir.path() + "/FILTERS/CRITERIA/MANY.KZS", script);
    FilterTable table;
    load(table, dir.path());
    const CriterionSlot& slot = table.filter(1).slots[SUBJECT];
    EXPECT_EQ(slot.instanceCount, 18);
    EXPECT_EQ(slot.resultInstanceCount(), kMaxInstances);
    // The empty first argument keeps its place: instance j is field j+1.
    EXPECT_EQ(slot.data.substr(0, 8), "\tw1\tw2\tw");
    EXPECT_EQ(slot.instanceData(0), "");
    EXPECT_EQ(slot.instanceData(1), "w1");
    EXPECT_EQ(slot.instanceData(17), "w17");
    EXPECT_EQ(slot.instanceData(18), "");
}

}  // namespace
}  // namespace kz::filters
