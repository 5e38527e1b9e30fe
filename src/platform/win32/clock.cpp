#include "platform/clock.h"

#include <time.h>

#include "platform/clock_text.h"

namespace kz::platform {

namespace {

struct LocalTime {
    std::tm parts{};
    long offsetSeconds = 0;  // east of UTC, daylight saving included
};

// _tzset first so a changed TZ is seen at once, as the runtime's own stamps do.
LocalTime localTime(TimePoint when) {
    _tzset();
    std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    LocalTime local;
    if (localtime_s(&local.parts, &seconds) != 0) {
        local.parts = std::tm{};
        local.parts.tm_mday = 1;
        local.parts.tm_year = 70;
        return local;
    }
    std::tm copy = local.parts;
    std::time_t asUtc = _mkgmtime(&copy);
    if (asUtc != std::time_t(-1)) local.offsetSeconds = long(asUtc - seconds);
    return local;
}

// The runtime's "C" locale, which the agent never changes, gives English names.
std::string formatParts(std::string_view format, const std::tm& parts) {
    return formatTimeParts(format, parts, std::strftime);
}

}  // namespace

TimePoint systemNow() {
    return std::chrono::system_clock::now();
}

std::string logTimeStamp(TimePoint when) {
    return formatParts("%m/%d/%y %H:%M:%S", localTime(when).parts);
}

std::string mailDateText(TimePoint when) {
    LocalTime local = localTime(when);
    return mailDateFromParts(local.parts, local.offsetSeconds);
}

std::string formatLocalTime(std::string_view format, TimePoint when) {
    return formatParts(format, localTime(when).parts);
}

int localDayNumber(TimePoint when) {
    std::tm t = localTime(when).parts;
    return (t.tm_year + 1900) * 10000 + (t.tm_mon + 1) * 100 + t.tm_mday;
}

}  // namespace kz::platform
