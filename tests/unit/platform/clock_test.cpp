#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>

#include "support/case_file.h"
#include "unit/platform/scoped_env.h"

namespace kz::platform {
namespace {

// Sets TZ for one test; the zone is re-read after setting and after restoring.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) : env_("TZ", zone) { ::tzset(); }

  private:
    struct Refresh {
        ~Refresh() { ::tzset(); }
    } refresh_;  // destroyed last, after env_ has put TZ back
    test::ScopedEnv env_;
};

TimePoint utc(std::time_t seconds) {
    return std::chrono::system_clock::from_time_t(seconds);
}

const TimePoint kWinter = utc(1704441789);  // 2024-01-05 08:03:09 UTC, a Friday

TEST(Clock, MailDateAndLogStampFollowTheZoneAndDaylightSaving) {
    const auto cases = test::ReadCaseFile("platform/zone_cases.txt");
    EXPECT_EQ(cases.size(), 6u);
    for (const test::CaseLine& c : cases) {
        ScopedTimeZone zone(c.fields[0].c_str());
        const TimePoint when = utc(std::stol(c.fields[1]));
        EXPECT_EQ(mailDateText(when), c.fields[2]) << "line " << c.number;
        EXPECT_EQ(logTimeStamp(when), c.fields[3]) << "line " << c.number;
    }
}

TEST(Clock, DailyNameAndDayNumberChangeAtLocalMidnight) {
    const TimePoint lateUtc = utc(1721082600);  // 2024-07-15 22:30 UTC
    {
        ScopedTimeZone zone("Europe/Berlin");  // already the 16th
        EXPECT_EQ(formatLocalTime("MTAFILTER-Report-%y%m%d.log", lateUtc),
                  "MTAFILTER-Report-240716.log");
        EXPECT_EQ(localDayNumber(lateUtc), 20240716);
    }
    ScopedTimeZone zone("America/New_York");  // still the 15th
    EXPECT_EQ(formatLocalTime("MTAFILTER-Report-%y%m%d.log", lateUtc),
              "MTAFILTER-Report-240715.log");
    EXPECT_EQ(localDayNumber(lateUtc), 20240715);
}

TEST(Clock, FormatsOfAnyLength) {
    ScopedTimeZone zone("UTC");
    EXPECT_EQ(formatLocalTime("", kWinter), "");
    EXPECT_EQ(formatLocalTime("%a %b", kWinter), "Fri Jan");
    std::string longFormat, expected;
    for (int i = 0; i < 2000; ++i) {
        longFormat += "%Y-";
        expected += "2024-";
    }
    EXPECT_EQ(formatLocalTime(longFormat, kWinter), expected);
}

}  // namespace
}  // namespace kz::platform
