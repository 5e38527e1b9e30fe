#include "log/event_report.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>

#include "log/exception_report.h"
#include "platform/process_info.h"
#include "support/test_support.h"
#include "unit/log/log_test_env.h"
#include "unit/platform/scoped_env.h"

namespace kz::log {
namespace {

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
    setAgentDword(config::reg::kActivityLogEnabled, 2);
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
