#include "platform/clock_text.h"

#include <charconv>
#include <cstdlib>

namespace kz::platform {

namespace {

constexpr const char* kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr size_t kMaxFormattedLength = 1 << 20;

void appendNumber(std::string& out, long value, int width) {
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    if (ec != std::errc()) return;
    for (long pad = width - (end - digits); pad > 0; --pad) out += '0';
    out.append(digits, end);
}

}  // namespace

std::string formatTimeParts(std::string_view format, const std::tm& parts, StrftimeFn strftimeFn) {
    // The trailing blank makes a successful result never empty, so a zero return of
    // strftime means "buffer too small" and not "empty text".
    std::string pattern(format);
    pattern += ' ';
    std::string out(64 + format.size() * 4, '\0');
    for (;;) {
        size_t n = strftimeFn(out.data(), out.size(), pattern.c_str(), &parts);
        if (n > 0) {
            out.resize(n - 1);
            return out;
        }
        if (out.size() >= kMaxFormattedLength) return std::string();
        out.resize(out.size() * 2);
    }
}

std::string mailDateFromParts(const std::tm& t, long offsetSeconds) {
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
    // Seconds of historical offsets are dropped.
    long minutes = offsetSeconds / 60;
    out += minutes < 0 ? " -" : " +";
    minutes = std::labs(minutes);
    appendNumber(out, minutes / 60, 2);
    appendNumber(out, minutes % 60, 2);
    return out;
}

}  // namespace kz::platform
