#pragma once
// Retention of the daily report files: when a day's file is opened, the files of days
// more than "Report Log Days" before it are removed, so a busy server's disk does not
// fill with old reports. 0 keeps them for ever.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kz::log {

// The day in a report file's name ("MTAFILTER-Report-260512.log": 12 May 2026); none for
// any other name, or a date that does not exist.
std::optional<std::chrono::sys_days> ReportFileDay(std::string_view name);

// Removes from `directory` the report files dated more than `days` days before the
// day of `currentName`, and returns the names removed. Nothing is removed when `days`
// is 0 or `currentName` is not a report file's name; other files are never touched.
std::vector<std::string> RemoveExpiredReportFiles(const std::string& directory,
                                                  std::string_view currentName, uint32_t days);

}  // namespace kz::log
