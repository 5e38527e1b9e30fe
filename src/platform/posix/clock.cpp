#include "platform/clock.h"

#include <locale.h>
#include <time.h>

#include <charconv>
#include <cstdlib>

namespace kz::platform {

namespace {

constexpr const char* kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr size_t kMaxFormattedLength = 1 << 20;

// Local broken-down time. tzset() first so a changed TZ or zone file is seen at once
// (localtime_r alone may keep the zone of its first call).
std::tm localParts(TimePoint when) {
    ::tzset();
    std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
    if (!::localtime_r(&seconds, &parts)) {
        parts = std::tm{};
        parts.tm_mday = 1;
        parts.tm_year = 70;
    }
    return parts;
}

void appendNumber(std::string& out, long value, int width) {
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    if (ec != std::errc()) return;
    for (long pad = width - (end - digits); pad > 0; --pad) out += '0';
    out.append(digits, end);
}

// The "C" locale object: English names whatever the process locale is. glibc hands
// out a static object for it, so nothing is allocated.
locale_t englishLocale() {
    static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
    return locale;
}

std::string formatParts(std::string_view format, const std::tm& parts) {
    // The trailing blank makes a successful result never empty, so a zero return of
    // strftime means "buffer too small" and not "empty text".
    std::string pattern(format);
    pattern += ' ';
    std::string out(64 + format.size() * 4, '\0');
    for (;;) {
        locale_t locale = englishLocale();
        size_t n = locale ? ::strftime_l(out.data(), out.size(), pattern.c_str(), &parts, locale)
                          : ::strftime(out.data(), out.size(), pattern.c_str(), &parts);
        if (n > 0) {
            out.resize(n - 1);
            return out;
        }
        if (out.size() >= kMaxFormattedLength) return std::string();
        out.resize(out.size() * 2);
    }
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
    std::string out = kDayNames[t.tm_wday % 7];
    out += ", ";
    appendNumber(out, t.tm_mday, 1);
    out += ' ';
    out += kMonthNames[t.tm_mon % 12];
    out += ' ';
    appendNumber(out, t.tm_year + 1900L, 4);
    out += ' ';
    appendNumber(out, t.tm_hour, 2);
    out += ':';
    appendNumber(out, t.tm_min, 2);
    out += ':';
    appendNumber(out, t.tm_sec, 2);
    // tm_gmtoff includes daylight saving; seconds of historical offsets are dropped.
    long minutes = t.tm_gmtoff / 60;
    out += minutes < 0 ? " -" : " +";
    minutes = std::labs(minutes);
    appendNumber(out, minutes / 60, 2);
    appendNumber(out, minutes % 60, 2);
    return out;
}

std::string formatLocalTime(std::string_view format, TimePoint when) {
    return formatParts(format, localParts(when));
}

int localDayNumber(TimePoint when) {
    std::tm t = localParts(when);
    return (t.tm_year + 1900) * 10000 + (t.tm_mon + 1) * 100 + t.tm_mday;
}

}  // namespace kz::platform
