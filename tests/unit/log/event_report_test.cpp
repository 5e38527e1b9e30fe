#include "log/event_report.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/process_info.h"
#include "support/test_support.h"
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

}  // namespace
}  // namespace kz::log
