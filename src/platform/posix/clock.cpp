#include "platform/clock.h"

#include <locale.h>
#include <time.h>

#include <cstdlib>
#include <functional>
#include <string_view>

#include "platform/clock_text.h"

namespace kz::platform {

namespace {

// tzset() reads the zone file (a stat at least) on every call, and a run takes several
// stamps: the zone is refreshed at most once a second per thread, and at once when TZ
// changes. A stamp's resolution is one second, so no stamp can tell the difference.
// (localtime_r alone keeps the zone of its first call.)
void refreshZone() {
    // Static TLS with nothing to destroy: the library holding it may be unloaded at run
    // time. TZ is told apart by its hash.
    struct Seen {
        std::chrono::steady_clock::time_point at{};
        std::size_t tzHash = 0;
        bool tzSet = false;
        bool any = false;
    };
    thread_local Seen seen __attribute__((tls_model("initial-exec")));
    const auto now = std::chrono::steady_clock::now();
    const char* tz = std::getenv("TZ");
    const std::size_t tzHash = tz ? std::hash<std::string_view>{}(tz) : 0;
    const bool sameTz = seen.tzSet == (tz != nullptr) && seen.tzHash == tzHash;
    if (seen.any && sameTz && now - seen.at < std::chrono::seconds(1)) return;
    ::tzset();
    seen.at = now;
    seen.tzSet = tz != nullptr;
    seen.tzHash = tzHash;
    seen.any = true;
}

// Local broken-down time.
std::tm localParts(TimePoint when) {
    refreshZone();
    std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
    if (!::localtime_r(&seconds, &parts)) {
        parts = std::tm{};
        parts.tm_mday = 1;
        parts.tm_year = 70;
    }
    return parts;
}

// The "C" locale object: English names whatever the process locale is. glibc hands
// out a static object for it, so nothing is allocated.
locale_t englishLocale() {
    static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
    return locale;
}

std::size_t englishStrftime(char* out, std::size_t size, const char* format, const std::tm* parts) {
    locale_t locale = englishLocale();
    return locale ? ::strftime_l(out, size, format, parts, locale)
                  : ::strftime(out, size, format, parts);
}

std::string formatParts(std::string_view format, const std::tm& parts) {
    return formatTimeParts(format, parts, englishStrftime);
}

}  // namespace

TimePoint systemNow() {
    return std::chrono::system_clock::now();
}

std::string logTimeStamp(TimePoint when) {
    return formatParts("%m/%d/%y %H:%M:%S", localParts(when));
}

std::string mailDateText(TimePoint when) {
    std::tm t = localParts(when);
    return mailDateFromParts(t, t.tm_gmtoff);  // tm_gmtoff includes daylight saving
}

std::string formatLocalTime(std::string_view format, TimePoint when) {
    return formatParts(format, localParts(when));
}

int localDayNumber(TimePoint when) {
    std::tm t = localParts(when);
    return (t.tm_year + 1900) * 10000 + (t.tm_mon + 1) * 100 + t.tm_mday;
}

}  // namespace kz::platform
