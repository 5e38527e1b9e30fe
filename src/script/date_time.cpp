#include "script/date_time.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "platform/clock.h"
#include "script/error.h"

namespace kz::script {

namespace {

// Days between 1970-01-01 and the date serial 0.
constexpr int kEpochOffset = 25569;

}  // namespace

double DateSerial(int year, int month, int day) {
    using namespace std::chrono;
    // Months beyond 1..12 roll over into the years, as DateSerial does.
    int monthIndex = month - 1;
    year += monthIndex >= 0 ? monthIndex / 12 : -((11 - monthIndex) / 12);
    monthIndex = ((monthIndex % 12) + 12) % 12;
    if (year < 100 || year > 9999) ThrowRuntime(kInvalidCall);
    sys_days first = year_month_day{
        std::chrono::year{year}, std::chrono::month{unsigned(monthIndex + 1)}, std::chrono::day{1}};
    return double(first.time_since_epoch().count() + kEpochOffset + day - 1);
}

double TimeSerial(int hour, int minute, int second) {
    return (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

DateParts SplitDate(double serial) {
    using namespace std::chrono;
    DateParts parts;
    double days = std::floor(serial);
    // Negative serials count the time backwards from midnight of their day.
    double fraction = std::fabs(serial - std::trunc(serial));
    long seconds = std::lround(fraction * 86400.0);
    if (seconds >= 86400) seconds = 86399;
    if (serial < 0) days = std::ceil(serial);
    if (std::fabs(days) > 3e6) days = 0;  // outside every calendar the scripts use
    sys_days when{std::chrono::days{long(days) - kEpochOffset}};
    year_month_day ymd{when};
    parts.year = int(ymd.year());
    parts.month = int(unsigned(ymd.month()));
    parts.day = int(unsigned(ymd.day()));
    parts.weekday = int(weekday{when}.c_encoding()) + 1;
    parts.hour = int(seconds / 3600);
    parts.minute = int(seconds / 60 % 60);
    parts.second = int(seconds % 60);
    return parts;
}

double NowSerial() {
    std::string text = platform::formatLocalTime("%Y %m %d %H %M %S", platform::systemNow());
    int y = 1899, mo = 12, d = 30, h = 0, mi = 0, s = 0;
    std::sscanf(text.c_str(), "%d %d %d %d %d %d", &y, &mo, &d, &h, &mi, &s);
    return DateSerial(y, mo, d) + TimeSerial(h, mi, s);
}

std::string FormatDate(double serial) {
    DateParts p = SplitDate(serial);
    bool hasDate = std::trunc(serial) != 0;
    bool hasTime = serial != std::trunc(serial);
    char buffer[64] = "";
    int used = 0;
    if (hasDate || !hasTime)
        used = std::snprintf(buffer, sizeof buffer, "%d/%d/%d", p.month, p.day, p.year);
    if (hasTime) {
        int hour12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
        std::snprintf(buffer + used, sizeof buffer - std::size_t(used), "%s%d:%02d:%02d %s",
                      used ? " " : "", hour12, p.minute, p.second, p.hour < 12 ? "AM" : "PM");
    }
    return buffer;
}

}  // namespace kz::script
