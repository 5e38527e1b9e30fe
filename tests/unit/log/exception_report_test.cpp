#include "log/exception_report.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "support/test_support.h"
#include "unit/platform/scoped_env.h"
#include "unit/whitelist/whitelist_fixture.h"

namespace kz::log {
namespace {

using ExceptionReport = whitelist::testing::WhitelistTest;

std::exception_ptr thrown(auto error) {
    try {
        throw error;
    } catch (...) {
        return std::current_exception();
    }
}

TEST_F(ExceptionReport, TextByKindOfException) {
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

TEST_F(ExceptionReport, GoesToTheEventLogAndTheDebugLog) {
    test::ScopedEnv eventLog("KZ_EVENTLOG", dir.file("events.log"));
    const ExceptionSite site{"system_whitelist.cpp", 10, 1};
    std::exception_ptr error = thrown(std::runtime_error("bad key"));
    std::string report = FormatExceptionReport("IsWhitelisted", error, site);

    ::testing::internal::CaptureStdout();
    ReportEscapedException("IsWhitelisted", error, site);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), " " + report);

    // How the event log file keeps the text is the event log's own test.
    std::string events = test::readFile(dir.file("events.log"));
    EXPECT_NE(events.find("\tInformation\tKaztrel\t1073741825\t"), std::string::npos) << events;
    EXPECT_NE(events.find("The exception was: bad key"), std::string::npos) << events;
}

}  // namespace
}  // namespace kz::log
