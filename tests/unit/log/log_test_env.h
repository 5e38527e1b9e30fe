#pragma once
// A scratch world for the logging tests: a registry file copied from
// tests/fixtures/log/logging.reg with the Activity Log Directory pointing into a
// TempDir, the log lock file in that TempDir and a log clock the test sets.

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "config/registry_access.h"
#include "config/registry_keys.h"
#include "config/settings.h"
#include "host/agent.h"
#include "log/log_clock.h"
#include "log/log_lifecycle.h"
#include "support/test_support.h"
#include "unit/platform/scoped_env.h"

namespace kz::log::testing {

// A local time as the logs see it.
inline platform::TimePoint localTime(int year, int month, int day, int hour, int minute,
                                     int second) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&parts));
}

class LogTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    test::ScopedEnv runtimeDir{"KZ_RUNTIME_DIR", dir.path()};
    std::string registryPath = dir.file("registry.reg");
    std::string logDir = dir.file("logs");
    platform::TimePoint now = localTime(2026, 5, 12, 9, 30, 0);
    host::Agent agent{registryPath};
    InstalledObject<LogClock> clock{[this] { return now; }};

    void SetUp() override {
        test::writeFile(registryPath, test::readFile(test::fixture("log/logging.reg")));
        test::writeFile(logDir + "/.keep", "");
        ASSERT_TRUE(
            config::machineRegistry()
                .setString(config::reg::kAgentKey, config::reg::kActivityLogDirectory, logDir)
                .ok());
    }

    void TearDown() override { StopLogging(); }

    // The logging part of attach, in its order: the log first, then the settings.
    void attach() {
        StartLogging();
        config::ReadAttachSettings();
    }

    void setAgentDword(std::string_view name, uint32_t value) {
        ASSERT_TRUE(config::RegWriteDword(config::reg::kAgentKey, name, value));
    }

    std::string logFile(std::string_view name) const { return logDir + "/" + std::string(name); }
    std::string todaysLog() const { return test::readFile(logFile("MTAFILTER-Report-260512.log")); }
};

}  // namespace kz::log::testing
