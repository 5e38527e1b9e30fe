#include "log/report_log.h"

#include <gtest/gtest.h>

#include <optional>

#include "log/debug_log.h"
#include "log/dns_log_filter.h"
#include "log/report_lines.h"
#include "platform/files.h"
#include "platform/named_lock.h"
#include "unit/log/log_test_env.h"

namespace kz::log {
namespace {

using testing::localTime;

class ReportLogTest : public testing::LogTest {};

TEST_F(ReportLogTest, RestartOnTheSameDayAppendsASecondHeaderAndStartLine) {
    DebugLog("before attach: nowhere\n");
    attach();
    DebugLog("First run\n");
    StopLogging();
    attach();
    DebugLog(
        "Executed\tM1.MAI\tSMTP\t1\tDeleted\tacct\tsender@example.test\t192.0.2.7\t-\tHello\n");
    StopLogging();
    DebugLog("after detach: nowhere\n");
    EXPECT_EQ(todaysLog(), test::readFile(test::fixture("log/restart-same-day.log")));
}

TEST_F(ReportLogTest, TheLineThatRevealsMidnightClosesTheOldDay) {
    now = localTime(2026, 5, 12, 23, 59, 58);
    attach();
    now = localTime(2026, 5, 12, 23, 59, 59);
    DebugLog("before midnight\n");
    now = localTime(2026, 5, 13, 0, 0, 1);
    DebugLog("after midnight\n");
    DebugLog("next line\n");
    now = localTime(2026, 5, 13, 0, 0, 2);
    StopLogging();
    EXPECT_EQ(todaysLog(), test::readFile(test::fixture("log/midnight-old-day.log")));
    EXPECT_EQ(test::readFile(logFile("MTAFILTER-Report-260513.log")),
              test::readFile(test::fixture("log/midnight-new-day.log")));
}

TEST_F(ReportLogTest, FileLoggingTurnedOnWhileRunningStartsWithTheLineAfterTheChange) {
    setAgentDword(config::reg::kActivityLogEnabled, 0);
    attach();
    EXPECT_FALSE(test::exists(logFile("MTAFILTER-Report-260512.log")));
    setAgentDword(config::reg::kActivityLogEnabled, 1);
    DebugLog("opens the file, is not in it\n");
    DebugLog("in the file\n");
    std::string log = todaysLog();
    EXPECT_EQ(log, ReportOpeningLines("05/12/26 09:30:00") + "05/12/26 09:30:00\tin the file\n");
}

TEST_F(ReportLogTest, AFileThatCannotBeOpenedIsNotRetriedUntilTheDayChanges) {
    ASSERT_TRUE(config::machineRegistry()
                    .setString(config::reg::kAgentKey, config::reg::kActivityLogDirectory,
                               dir.file("missing"))
                    .ok());
    attach();
    DebugLog("lost\n");
    test::writeFile(dir.file("missing/.keep"), "");  // the folder appears
    DebugLog("lost too: same day\n");
    now = localTime(2026, 5, 13, 8, 0, 0);
    DebugLog("reveals the new day\n");
    DebugLog("kept\n");
    EXPECT_FALSE(test::exists(dir.file("missing/MTAFILTER-Report-260512.log")));
    EXPECT_EQ(test::readFile(dir.file("missing/MTAFILTER-Report-260513.log")),
              ReportOpeningLines("05/13/26 08:00:00") + "05/13/26 08:00:00\tkept\n");
}

// Another holder of the log lock (another process, or another library using the same
// name) keeps a line out for the length of the bound; once it lets go, lines flow.
TEST_F(ReportLogTest, ALineThatCannotTakeTheLockInTimeIsDropped) {
    attach();
    platform::NamedLock otherHolder{std::string(kLogLockName)};
    ASSERT_TRUE(otherHolder.lock(std::chrono::milliseconds(0)));
    DebugLog("dropped\n");
    otherHolder.unlock();
    DebugLog("written\n");
    EXPECT_EQ(todaysLog(),
              ReportOpeningLines("05/12/26 09:30:00") + "05/12/26 09:30:00\twritten\n");
}

// What the DNS library logs through the agent: levels above the setting are dropped.
TEST_F(ReportLogTest, DnsLibraryLinesAboveTheLevelSettingAreDropped) {
    struct Case {
        std::optional<uint32_t> setting;  // absent reads as 5
        uint32_t level;
        int result;
    };
    const Case cases[] = {
        {3, 3, 1}, {3, 4, 0}, {3, 0xFFFFFFFFu, 0}, {std::nullopt, 5, 1}, {std::nullopt, 6, 0},
    };
    const DnsLogFunction callback = &DnsLogFilter;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.setting.value_or(99) << " " << c.level);
        if (c.setting)
            setAgentDword(config::reg::kDebugLoggingLevel, *c.setting);
        else
            config::machineRegistry().deleteValue(config::reg::kAgentKey,
                                                  config::reg::kDebugLoggingLevel);
        attach();
        std::string text = "level " + std::to_string(c.level) + "\n";
        EXPECT_EQ(callback(0, 0, 0, c.level, text.c_str()), c.result);
        EXPECT_EQ(callback(0, 0, 0, 0, nullptr), 1);  // nothing to write, nothing breaks
        StopLogging();
        std::string expected = ReportOpeningLines("05/12/26 09:30:00");
        if (c.result) expected += "05/12/26 09:30:00\t" + text;
        expected += ReportEndLine("05/12/26 09:30:00");
        EXPECT_EQ(todaysLog(), expected);
        platform::removeFile(logFile("MTAFILTER-Report-260512.log"));
    }
}

TEST(ReportExecutedLine, CutsTheLongestFieldsAndKeepsEveryColumnAndTheLineEnd) {
    std::vector<std::string_view> fields = {
        "M1.MAI", "SMTP", "Spam", "DELETE", "", "a\nb", "192.0.2.7", "CRITERIA=SUBJECT", "Hi"};
    EXPECT_EQ(ReportExecutedLine(fields, TextLimit{2048}),
              "Executed\tM1.MAI\tSMTP\tSpam\tDELETE\t\ta b\t192.0.2.7\tCRITERIA=SUBJECT\tHi\n");

    // 2047 places, less the frame and the short fields, shared by the two long ones.
    std::string data(3000, 'd'), subject(1500, 's');
    fields[7] = data;
    fields[8] = subject;
    EXPECT_EQ(ReportExecutedLine(fields, TextLimit{2048}),
              "Executed\tM1.MAI\tSMTP\tSpam\tDELETE\t\ta b\t192.0.2.7\t" + std::string(998, 'd') +
                  "\t" + std::string(998, 's') + "\n");
}

}  // namespace
}  // namespace kz::log
