// The logs in a scratch world of log_test_env.h: the daily report file and its routes,
// the counters, and the reports to the event log.

#include <gtest/gtest.h>

#include <cerrno>
#include <future>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "log/console_batch.h"
#include "log/counters.h"
#include "log/debug_log.h"
#include "log/dns_log_filter.h"
#include "log/event_report.h"
#include "log/exception_report.h"
#include "log/report_lines.h"
#include "log/report_log.h"
#include "log/trace.h"
#include "platform/files.h"
#include "platform/named_lock.h"
#include "platform/process_info.h"
#include "support/test_support.h"
#include "unit/log/log_test_env.h"
#include "unit/platform/scoped_env.h"

namespace kz::log {
namespace {

namespace reg = config::reg;
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

// A run's report lines go out together: the first ones after logging is turned on are
// in the file, and so is a later run's.
TEST_F(ReportLogTest, FileLoggingTurnedOnWhileRunningKeepsTheFirstLinesAfterTheChange) {
    setAgentDword(reg::kActivityLogEnabled, 0);
    attach();
    DebugLogLines({"off: nowhere\n"});
    EXPECT_FALSE(test::exists(logFile("MTAFILTER-Report-260512.log")));
    setAgentDword(reg::kActivityLogEnabled, 1);
    DebugLogLines({"first run\n", "its second line\n"});
    DebugLog("next run\n");
    const std::string stamp = "05/12/26 09:30:00\t";
    EXPECT_EQ(todaysLog(), ReportOpeningLines("05/12/26 09:30:00") + stamp + "first run\n" + stamp +
                               "its second line\n" + stamp + "next run\n");
}

TEST_F(ReportLogTest, AFileThatCannotBeOpenedIsNotRetriedUntilTheDayChanges) {
    ASSERT_TRUE(config::machineRegistry()
                    .setString(reg::kAgentKey, reg::kActivityLogDirectory, dir.file("missing"))
                    .ok());
    attach();
    DebugLog("lost\n");
    test::writeFile(dir.file("missing/.keep"), "");  // the folder appears
    DebugLog("lost too: same day\n");
    now = localTime(2026, 5, 13, 8, 0, 0);
    DebugLog("reveals the new day, opens its file first\n");
    DebugLog("kept\n");
    EXPECT_FALSE(test::exists(dir.file("missing/MTAFILTER-Report-260512.log")));
    EXPECT_EQ(test::readFile(dir.file("missing/MTAFILTER-Report-260513.log")),
              ReportOpeningLines("05/13/26 08:00:00") +
                  "05/13/26 08:00:00\treveals the new day, opens its file first\n"
                  "05/13/26 08:00:00\tkept\n");
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

// "Report Log Days": opening a day's file removes the report files of days more than
// that many days before it, by the day in their names; anything else in the folder stays.
TEST_F(ReportLogTest, OpeningADaysFileRemovesReportFilesOlderThanTheRetention) {
    const std::vector<std::string> old = {"MTAFILTER-Report-260509.log",
                                          "mtafilter-report-251231.log"};
    const std::vector<std::string> kept = {
        "MTAFILTER-Report-260510.log", "MTAFILTER-Report-260511.log",
        "MTAFILTER-Report-260230.log",  // no such day
        "MTAFILTER-Report-2605.log",   "MTAFILTER-Report-2605xx.log", "notes.txt"};
    for (const auto& name : old) test::writeFile(logFile(name), "old\n");
    for (const auto& name : kept) test::writeFile(logFile(name), "kept\n");

    attach();  // no setting: every file is kept
    StopLogging();
    for (const auto& name : old) EXPECT_TRUE(test::exists(logFile(name))) << name;

    setAgentDword(reg::kReportLogDays, 2);
    attach();
    for (const auto& name : old) EXPECT_FALSE(test::exists(logFile(name))) << name;
    for (const auto& name : kept) EXPECT_TRUE(test::exists(logFile(name))) << name;
    EXPECT_NE(todaysLog().find("\tRemoved the expired report log MTAFILTER-Report-260509.log\n"),
              std::string::npos);

    now = localTime(2026, 5, 13, 0, 0, 1);  // the day's change moves the window on
    DebugLog("reveals the new day\n");
    EXPECT_FALSE(test::exists(logFile("MTAFILTER-Report-260510.log")));
    EXPECT_TRUE(test::exists(logFile("MTAFILTER-Report-260511.log")));
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
            setAgentDword(reg::kDebugLoggingLevel, *c.setting);
        else
            config::machineRegistry().deleteValue(reg::kAgentKey, reg::kDebugLoggingLevel);
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
    // Short lines are formatted on the stack, longer ones on the heap: both come out whole.
    const std::string longText(600, 'x');
    ::testing::internal::CaptureStdout();
    log::Trace("Allocating %d Results\n", 50);
    log::Trace("Checking %s->%ld\n", longText.c_str(), 7L);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Allocating 50 Results\nChecking " + longText + "->7\n");
}

// The routes and the sharing of the daily file, seen from helper processes that write
// through the DebugLog as attached agents.
class LogRoutesTest : public testing::LogTest {
  protected:
    test::RunOutput write(const std::string& tag, int threads, int lines) {
        return test::run({test::binPath("kztest-log_writer"), registryPath, tag,
                          std::to_string(threads), std::to_string(lines)},
                         {"KZ_RUNTIME_DIR=" + dir.path()});
    }

    std::vector<std::string> reportFiles() const {
        std::vector<std::string> names;
        for (const std::string& name : platform::listDirectory(logDir))
            if (name.rfind("MTAFILTER-Report-", 0) == 0) names.push_back(name);
        return names;
    }
};

TEST_F(LogRoutesTest, EachActivityLogValueChoosesItsRoute) {
    const std::string payload(300, 'r');
    const std::string line0 = "r 0 0 " + payload + "\n";
    const std::string line1 = "r 0 1 " + payload + "\n";
    struct Case {
        uint32_t enabled;
        std::string out, err;
        bool file;
    };
    const Case cases[] = {
        {0, "", "", false},
        {1, "", "", true},
        {2, " " + line0 + " " + line1, "", false},  // the empty time stamp and a blank
        {3, "", line0 + line1, false},
        {4, "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.enabled);
        setAgentDword(reg::kActivityLogEnabled, c.enabled);
        test::RunOutput output = write("r", 1, 2);
        ASSERT_EQ(output.status, 0) << output.err;
        EXPECT_EQ(output.out, c.out);
        EXPECT_EQ(output.err, c.err);
        EXPECT_EQ(!reportFiles().empty(), c.file);
        for (const std::string& name : reportFiles()) platform::removeFile(logDir + "/" + name);
    }
}

// A run's console lines go out together when its batch ends, in their order; a batch
// inside it adds to it, and FlushConsole writes them early.
TEST(ConsoleBatch, GathersTheLinesOfARunUntilItEnds) {
    using ::testing::internal::CaptureStdout;
    using ::testing::internal::GetCapturedStdout;
    CaptureStdout();
    {
        log::ConsoleBatch run;
        log::Trace("one %d\n", 1);
        {
            log::ConsoleBatch inner;
            log::WriteConsole("two\n");
        }
        EXPECT_EQ(GetCapturedStdout(), "");
        CaptureStdout();
        log::FlushConsole();
        EXPECT_EQ(GetCapturedStdout(), "one 1\ntwo\n");
        CaptureStdout();
        log::WriteConsole("three\n");
    }
    log::WriteConsole("four\n");
    EXPECT_EQ(GetCapturedStdout(), "three\nfour\n");
}

// Two processes with several threads each share one daily file: every line arrives
// whole, once, with its time stamp.
TEST_F(LogRoutesTest, ConcurrentWritersProduceOnlyWholeLines) {
    constexpr int kThreads = 4;
    constexpr int kLines = 300;
    auto first = std::async(std::launch::async, [&] { return write("a", kThreads, kLines); });
    auto second = std::async(std::launch::async, [&] { return write("b", kThreads, kLines); });
    ASSERT_EQ(first.get().status, 0);
    ASSERT_EQ(second.get().status, 0);

    const std::string header(kReportHeader.substr(0, kReportHeader.size() - 1));
    const std::string dashes = "\t-\t-\t-\t-\t-\t-\t-\t-";
    const std::regex stampedLine("\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\t(.*)");
    std::map<std::string, int> seen;
    int markers = 0;
    // A change of day during the run would split the lines over two files.
    for (const std::string& name : reportFiles()) {
        std::string content = test::readFile(logDir + "/" + name);
        ASSERT_EQ(content.back(), '\n');
        std::istringstream lines(content);
        for (std::string line; std::getline(lines, line);) {
            if (line == header) {
                ++markers;
                continue;
            }
            // "MM/DD/YY HH:MM:SS" and a tab, then the rest of the line.
            std::smatch stamped;
            ASSERT_TRUE(std::regex_match(line, stamped, stampedLine)) << line.substr(0, 120);
            const std::string rest = stamped[1];
            if (rest == "Start" + dashes || rest == "End" + dashes) {
                ++markers;
                continue;
            }
            // "TAG THREAD LINE PAYLOAD", the payload 300 times the tag.
            std::istringstream fields{rest};
            std::string tag, thread, number, payload, extra;
            fields >> tag >> thread >> number >> payload;
            ASSERT_TRUE((tag == "a" || tag == "b") && !(fields >> extra)) << line.substr(0, 120);
            EXPECT_EQ(payload, std::string(300, tag[0]));
            ++seen[tag + " " + thread + " " + number];
        }
    }
    EXPECT_EQ(seen.size(), size_t(2 * kThreads * kLines));
    for (const auto& [key, count] : seen) EXPECT_EQ(count, 1) << key;
    EXPECT_GE(markers, 6);  // each process: header, Start, End
}

class CountersTest : public testing::LogTest {
  protected:
    void setStatistics(uint32_t value) {
        ASSERT_TRUE(config::RegWriteDword(reg::kProductKey, reg::kUpdateStatistics, value));
    }

    std::optional<uint32_t> registryCounter(std::string_view name) {
        uint32_t value = 0;
        if (!config::RegReadDword(reg::kCountersKey, name, value)) return std::nullopt;
        return value;
    }

    // What attach does with the counters once the settings are read.
    void writeAttachCounters() {
        WriteServiceStart();
        WriteProviderCountersAtAttach({.bayesian = true, .spamAssassin = false, .antivirus = true});
    }
};

TEST_F(CountersTest, AttachRestartsTheEnabledProvidersCountersAndStampsTheStart) {
    ASSERT_TRUE(config::RegWriteDword(reg::kCountersKey, reg::kBayesianTotalScans, 41));
    attach();
    writeAttachCounters();
    auto start = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    EXPECT_EQ(registryCounter(reg::kServiceStart), uint32_t(start));
    EXPECT_EQ(registryCounter(reg::kBayesianTotalScans), 0u);
    EXPECT_EQ(registryCounter(reg::kBayesianDetections), 0u);
    EXPECT_EQ(registryCounter(reg::kAntivirusTotalScans), 0u);
    EXPECT_EQ(registryCounter(reg::kAntivirusDetected), 0u);
    EXPECT_EQ(registryCounter(reg::kSaTotalScans), std::nullopt);
    EXPECT_EQ(registryCounter(reg::kDkimScans), std::nullopt);

    IncrementCounter(Counter::DkimScans);
    IncrementCounter(Counter::DkimScans);
    EXPECT_EQ(registryCounter(reg::kDkimScans), 2u);
}

TEST_F(CountersTest, StatisticsOffWritesNoCounterAtAll) {
    setStatistics(0);
    attach();
    writeAttachCounters();
    IncrementCounter(Counter::SaDetections);
    WriteCounter(reg::kSaTotalScans, 5);
    EXPECT_EQ(CounterValue(Counter::SaDetections), 0u);
    EXPECT_TRUE(config::machineRegistry().values(reg::kCountersKey).empty());
}

TEST_F(CountersTest, ConcurrentIncrementsAreAllCountedAndTheLastWriteHoldsTheTotal) {
    attach();
    constexpr int kThreads = 8;
    constexpr int kIncrements = 30;
    std::vector<std::thread> runs;
    for (int t = 0; t < kThreads; ++t)
        runs.emplace_back([] {
            for (int i = 0; i < kIncrements; ++i) IncrementCounter(Counter::BayesianTotalScans);
        });
    for (std::thread& run : runs) run.join();
    EXPECT_EQ(CounterValue(Counter::BayesianTotalScans), uint32_t(kThreads * kIncrements));
    EXPECT_EQ(registryCounter(reg::kBayesianTotalScans), uint32_t(kThreads * kIncrements));
}

// A registry whose writes fail while its reads still work: the registry's writer
// lock file cannot be opened when a folder stands in its place.
TEST_F(CountersTest, AnUnwritableCounterKeyIsReportedOncePerProcess) {
    attach();
    platform::removeFile(registryPath + ".lock");
    ASSERT_TRUE(platform::createDirectory(registryPath + ".lock"));
    ASSERT_FALSE(config::RegWriteDword(reg::kCountersKey, reg::kDkimScans, 1))
        << "the registry no longer fails writes this way; the test needs another way";

    writeAttachCounters();
    IncrementCounter(Counter::DkimScans);
    IncrementCounter(Counter::DkimDetections);
    EXPECT_EQ(CounterValue(Counter::DkimScans), 1u);

    const std::string report =
        "KZ-IXXXX: Unable to save queue statistics for service. The service account may not have "
        "permission to write to the registry path "
        "SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER\\Counters, item Service "
        "Start\n";
    std::string log = todaysLog();
    size_t first = log.find(report);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find("KZ-IXXXX", first + 1), std::string::npos) << log;
}

TEST(EventReport, NamesTheReporterTheExecutableAndTheLastErrorThenTheMessage) {
    test::TempDir dir;
    test::ScopedEnv eventLog("KZ_EVENTLOG", dir.file("events.log"));
    std::string executable = platform::executablePath();
    ASSERT_FALSE(executable.empty());
    ASSERT_EQ(executable.front(), '/');

    struct Case {
        std::string_view source, expectedSource;
        platform::EventType type;
        int error;
    };
    const Case cases[] = {
        {"", "Kaztrel", platform::EventType::Information, ENOENT},
        {"Kaztrel DKIM", "Kaztrel DKIM", platform::EventType::Error, 0},
    };
    for (const Case& c : cases) {
        errno = c.error;
        ReportEvent(c.type, c.source, "not used", kAgentEventId,
                    "HasORBDBEntry raised an exception.\n");
    }
    std::string log = test::readFile(dir.file("events.log"));
    for (const Case& c : cases) {
        std::string expected =
            "\t" + std::string(platform::eventTypeName(c.type)) + "\t" +
            std::string(c.expectedSource) + "\t1073741825\tKaztrel Filter Provider (" + executable +
            ") error: " + std::to_string(c.error) + " | HasORBDBEntry raised an exception.\n";
        EXPECT_NE(log.find(expected), std::string::npos) << expected << "\nin\n" << log;
    }
}

std::exception_ptr thrown(auto error) {
    try {
        throw error;
    } catch (...) {
        return std::current_exception();
    }
}

TEST(ExceptionReport, TextByKindOfException) {
    const ExceptionSite site{"/src/agent/whitelist/system_whitelist.cpp", 48, 2};
    const std::string where =
        "The exception occurred in : system_whitelist.cpp, line 48\nLine Trace = 2\n";
    EXPECT_EQ(FormatExceptionReport("IsWhitelisted", thrown(std::runtime_error("bad key")), site),
              "IsWhitelisted handled an exception; session will be dropped.\n"
              "The exception was: bad key\n" +
                  where);
    EXPECT_EQ(FormatExceptionReport("IsWhitelisted", thrown(42), site),
              "IsWhitelisted raised an exception.\n" + where);
    // A standard exception without a text tells no more than any other.
    EXPECT_EQ(FormatExceptionReport("IsWhitelisted", thrown(std::runtime_error("")), site),
              "IsWhitelisted raised an exception.\n" + where);
}

class ExceptionReportTest : public testing::LogTest {};

TEST_F(ExceptionReportTest, GoesToTheEventLogAndTheDebugLog) {
    test::ScopedEnv eventLog("KZ_EVENTLOG", dir.file("events.log"));
    setAgentDword(reg::kActivityLogEnabled, 2);
    attach();
    const ExceptionSite site{"system_whitelist.cpp", 10, 1};
    std::exception_ptr error = thrown(std::runtime_error("bad key"));
    ::testing::internal::CaptureStdout();
    ReportEscapedException("IsWhitelisted", error, site);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              " " + FormatExceptionReport("IsWhitelisted", error, site));
    std::string events = test::readFile(dir.file("events.log"));
    EXPECT_NE(events.find("\tInformation\tKaztrel\t1073741825\t"), std::string::npos) << events;
    EXPECT_NE(events.find("The exception was: bad key"), std::string::npos) << events;
}

}  // namespace
}  // namespace kz::log
