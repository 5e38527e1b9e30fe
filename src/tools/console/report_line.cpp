#include "report_line.h"

#include <array>
#include <ctime>

#include "base/ascii.h"

namespace kz::console {

namespace {

// Two decimal digits at `at`, or -1.
int twoDigits(std::string_view text, std::size_t at) {
    if (at + 2 > text.size()) return -1;
    char a = text[at], b = text[at + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9') return -1;
    return (a - '0') * 10 + (b - '0');
}

}  // namespace

std::optional<ReportLine> ParseReportLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::array<std::string_view, 11> fields;
    std::size_t count = 0;
    while (count < fields.size()) {
        std::size_t tab = line.find('\t');
        // The subject is the rest of the line, tabs and all: the writer does not escape them.
        if (count == fields.size() - 1 || tab == std::string_view::npos) {
            fields[count++] = line;
            break;
        }
        fields[count++] = line.substr(0, tab);
        line.remove_prefix(tab + 1);
    }
    if (count < fields.size()) return std::nullopt;
    return ReportLine{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5],
                      fields[6], fields[7], fields[8], fields[9], fields[10]};
}

std::optional<HourKey> StampHour(std::string_view stamp) {
    // MM/DD/YY HH:MM:SS
    if (stamp.size() < 17 || stamp[2] != '/' || stamp[5] != '/' || stamp[8] != ' ' ||
        stamp[11] != ':' || stamp[14] != ':')
        return std::nullopt;
    int month = twoDigits(stamp, 0), day = twoDigits(stamp, 3), year = twoDigits(stamp, 6);
    int hour = twoDigits(stamp, 9), minute = twoDigits(stamp, 12), second = twoDigits(stamp, 15);
    if (month < 1 || month > 12 || day < 1 || day > 31 || year < 0 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 60)
        return std::nullopt;
    int fullYear = year >= 70 ? 1900 + year : 2000 + year;
    return HourKey(fullYear) * 1000000 + month * 10000 + day * 100 + hour;
}

std::chrono::system_clock::time_point LocalHourStart(HourKey hour) {
    std::tm local{};
    local.tm_year = int(hour / 1000000) - 1900;
    local.tm_mon = int(hour / 10000 % 100) - 1;
    local.tm_mday = int(hour / 100 % 100);
    local.tm_hour = int(hour % 100);
    local.tm_isdst = -1;  // as the zone's rules have it on that day
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

bool IsReportFileName(std::string_view name) {
    constexpr std::string_view kPrefix = "MTAFILTER-Report-", kSuffix = ".log";
    if (name.size() != kPrefix.size() + 6 + kSuffix.size()) return false;
    if (!startsWithIgnoreCase(name, kPrefix) || !endsWithIgnoreCase(name, kSuffix)) return false;
    for (std::size_t i = kPrefix.size(); i < kPrefix.size() + 6; ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

ResultColumn SplitResult(std::string_view result) {
    constexpr std::string_view kAudit = "AUDIT";
    if (startsWithIgnoreCase(result, kAudit) &&
        (result.size() == kAudit.size() || result[kAudit.size()] == ':'))
        return {true, result.substr(std::min(result.size(), kAudit.size() + 1))};
    return {false, result};
}

bool HasKeyword(std::string_view keywords, std::string_view keyword) {
    while (!keywords.empty()) {
        std::size_t comma = keywords.find(',');
        if (equalsIgnoreCase(keywords.substr(0, comma), keyword)) return true;
        if (comma == std::string_view::npos) break;
        keywords.remove_prefix(comma + 1);
    }
    return false;
}

}  // namespace kz::console
