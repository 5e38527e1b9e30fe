#include "log/report_retention.h"

#include "base/ascii.h"
#include "platform/files.h"

namespace kz::log {

namespace {

constexpr std::string_view kPrefix = "MTAFILTER-Report-";
constexpr std::string_view kSuffix = ".log";

int digitsAt(std::string_view text, std::size_t at) {
    char tens = text[at];
    char ones = text[at + 1];
    if (tens < '0' || tens > '9' || ones < '0' || ones > '9') return -1;
    return (tens - '0') * 10 + (ones - '0');
}

}  // namespace

std::optional<std::chrono::sys_days> ReportFileDay(std::string_view name) {
    if (name.size() != kPrefix.size() + 6 + kSuffix.size()) return std::nullopt;
    if (!startsWithIgnoreCase(name, kPrefix) ||
        !equalsIgnoreCase(name.substr(kPrefix.size() + 6), kSuffix))
        return std::nullopt;
    int year = digitsAt(name, kPrefix.size());
    int month = digitsAt(name, kPrefix.size() + 2);
    int day = digitsAt(name, kPrefix.size() + 4);
    if (year < 0 || month < 0 || day < 0) return std::nullopt;
    // The name's two-digit year ("%y") is of this century.
    std::chrono::year_month_day date{std::chrono::year(2000 + year),
                                     std::chrono::month(unsigned(month)),
                                     std::chrono::day(unsigned(day))};
    if (!date.ok()) return std::nullopt;
    return std::chrono::sys_days(date);
}

std::vector<std::string> RemoveExpiredReportFiles(const std::string& directory,
                                                  std::string_view currentName, uint32_t days) {
    std::vector<std::string> removed;
    std::optional<std::chrono::sys_days> today = ReportFileDay(currentName);
    if (days == 0 || !today || directory.empty()) return removed;
    const std::chrono::sys_days oldestKept = *today - std::chrono::days(days);
    for (const std::string& name : platform::listDirectory(directory)) {
        std::optional<std::chrono::sys_days> day = ReportFileDay(name);
        if (!day || *day >= oldestKept) continue;
        if (platform::removeFile(platform::joinPath(directory, name))) removed.push_back(name);
    }
    return removed;
}

}  // namespace kz::log
