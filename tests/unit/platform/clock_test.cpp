#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>

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

const TimePoint kSummer = utc(1721046896);  // 2024-07-15 12:34:56 UTC, a Monday
const TimePoint kWinter = utc(1704441789);  // 2024-01-05 08:03:09 UTC, a Friday

struct ZoneCase {
    const char* zone;
    TimePoint when;
    const char* mailDate;
    const char* logStamp;
};

TEST(Clock, MailDateAndLogStampFollowTheZoneAndDaylightSaving) {
    const ZoneCase cases[] = {
        {"America/New_York", kSummer, "Mon, 15 Jul 2024 08:34:56 -0400", "07/15/24 08:34:56"},
        {"America/New_York", kWinter, "Fri, 5 Jan 2024 03:03:09 -0500", "01/05/24 03:03:09"},
        {"Europe/Berlin", kSummer, "Mon, 15 Jul 2024 14:34:56 +0200", "07/15/24 14:34:56"},
        {"Asia/Kolkata", kWinter, "Fri, 5 Jan 2024 13:33:09 +0530", "01/05/24 13:33:09"},
        {"America/St_Johns", kWinter, "Fri, 5 Jan 2024 04:33:09 -0330", "01/05/24 04:33:09"},
        {"UTC", kWinter, "Fri, 5 Jan 2024 08:03:09 +0000", "01/05/24 08:03:09"},
    };
    for (const ZoneCase& c : cases) {
        ScopedTimeZone zone(c.zone);
        EXPECT_EQ(mailDateText(c.when), c.mailDate) << c.zone;
        EXPECT_EQ(logTimeStamp(c.when), c.logStamp) << c.zone;
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
