#pragma once
// Local time texts: log stamps, mail dates, daily file names.

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace kz::platform {

using TimePoint = std::chrono::system_clock::time_point;
// Injectable clock: tests replace it to cross midnight without waiting.
using ClockFn = std::function<TimePoint()>;
TimePoint systemNow();

// "MM/DD/YY HH:MM:SS" in local time, after refreshing the time zone.
std::string logTimeStamp(TimePoint when);
// "ddd, d MMM yyyy HH:mm:ss +hhmm", English names, daylight saving included.
std::string mailDateText(TimePoint when);
// strftime over local time, e.g. "MTAFILTER-Report-%y%m%d.log".
std::string formatLocalTime(std::string_view format, TimePoint when);
// Local calendar day as yyyymmdd, to notice a change of day.
int localDayNumber(TimePoint when);

}  // namespace kz::platform
