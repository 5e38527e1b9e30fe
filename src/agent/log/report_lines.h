#pragma once
// The fixed lines and the daily name of the report log file.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_limit.h"
#include "platform/clock.h"

namespace kz::log {

constexpr std::string_view kReportFileNameFormat = "MTAFILTER-Report-%y%m%d.log";
constexpr TextLimit kReportFileNameLimit{128};

constexpr std::string_view kReportHeader =
    "Time\tAction\tMessageID\tConnector\tFilter\tResult\tAccount\tSender\tIPAddress\tData\tSubject"
    "\n";

// The day's file name in local time.
std::string ReportFileName(platform::TimePoint when);
// The header and the Start line, written together each time the file is opened.
std::string ReportOpeningLines(std::string_view stamp);
// The End line, written before the file is closed.
std::string ReportEndLine(std::string_view stamp);
// An "Executed" line with its fields (the columns after Action), ended by a line feed,
// within lineLimit. Fields too long for that are cut, the longest first, so
// every column and the line end remain; a line break inside a field becomes a blank.
std::string ReportExecutedLine(const std::vector<std::string_view>& fields, TextLimit lineLimit);
// A DebugLog line: the time stamp, a tab and the text as given.
std::string ReportDataLine(std::string_view stamp, std::string_view text);

}  // namespace kz::log
