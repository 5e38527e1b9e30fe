// kzmta check-config: a configuration with one of each problem, and a clean one.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/case_file.h"
#include "support/test_support.h"

namespace kz::test {
namespace {

namespace fs = std::filesystem;

// check-config over the configuration in dir/config.
RunOutput checkConfig(const TempDir& dir) {
    std::string registry = dir.file("registry.reg");
    writeFile(registry,
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel]\r\n"
              "\"Configuration Directory\"=\"" +
                  dir.file("config") + "\"\r\n");
    return run({binPath("kzmta"), "check-config", "--registry", registry});
}

RunOutput checkConfig(const TempDir& dir, const std::string& fixtureConfig) {
    fs::copy(fixture(fixtureConfig), dir.file("config"), fs::copy_options::recursive);
    return checkConfig(dir);
}

TEST(KzmtaCheckConfig, ReportsOneOfEachProblem) {
    TempDir dir;
    RunOutput out = checkConfig(dir, "tools/check_config/config");
    EXPECT_EQ(out.status, 1) << out.err;
    // Each problem with its file and line, the FILTER.TAB ones by their full path.
    const std::string config = dir.file("config/");
    const auto problems = ReadCaseFile("tools/check_config/problems.txt");
    EXPECT_EQ(problems.size(), 19u);
    for (const CaseLine& problem : problems) {
        const std::string& text = problem.fields[0];
        std::string expected = text.starts_with("FILTERS/") ? config + text : text;
        EXPECT_NE(out.out.find(expected), std::string::npos) << expected << "\n---\n" << out.out;
    }
    // Deliberate settings are not problems: a filter switched off with 0, a disabled
    // action line, a word file with words, an existing template, a shared action file.
    for (const char* quiet :
         {":4:", "ALSO_UNKNOWN_BUT_OFF", "words.txt", "GREETING", "ACTIONS/GOOD.TAB"}) {
        EXPECT_EQ(out.out.find(quiet), std::string::npos) << quiet << "\n---\n" << out.out;
    }
    EXPECT_NE(out.out.find("7 filter(s) loaded"), std::string::npos) << out.out;
    EXPECT_EQ(out.out.find("Loaded 7 Filters"), std::string::npos) << "agent trace leaked";
}

TEST(KzmtaCheckConfig, CleanConfigurationPasses) {
    TempDir dir;
    RunOutput out = checkConfig(dir, "tools/explain/config");
    EXPECT_EQ(out.status, 0) << out.out;
    EXPECT_NE(out.out.find("5 filter(s) loaded"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("no problem found"), std::string::npos);
}

TEST(KzmtaCheckConfig, MoreThanAHundredFiltersAndAMissingTable) {
    TempDir dir;
    std::string lines;
    for (int i = 1; i <= 101; ++i) lines += "F" + std::to_string(i) + "\t1\tGOOD\r\n";
    writeFile(dir.file("config/FILTERS/FILTER.TAB"), lines);
    writeFile(dir.file("config/FILTERS/CRITERIA/GOOD.TAB"), "1\tALLMESSAGES\t\t\t\t1\r\n");
    writeFile(dir.file("config/FILTERS/ACTIONS/GOOD.TAB"), "1\t\t\tDELETE\tx\r\n");
    RunOutput full = checkConfig(dir);
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.out.find("FILTER.TAB:101: skipped: more than 100 filters"), std::string::npos)
        << full.out;

    fs::remove(dir.file("config/FILTERS/FILTER.TAB"));
    RunOutput none = checkConfig(dir);
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.out.find("FILTER.TAB cannot be read"), std::string::npos) << none.out;
}

}  // namespace
}  // namespace kz::test
