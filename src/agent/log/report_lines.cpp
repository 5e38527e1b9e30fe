#include "log/report_lines.h"

#include "common/bounded_text.h"

namespace kz::log {

namespace {

// The time, the action and a dash in each of the eight columns after it.
std::string markerLine(std::string_view stamp, std::string_view action) {
    std::string line(stamp);
    line.append("\t").append(action).append("\t-\t-\t-\t-\t-\t-\t-\t-\n");
    return line;
}

}  // namespace

std::string ReportFileName(platform::TimePoint when) {
    return std::string(
        cutToBuffer(platform::formatLocalTime(kReportFileNameFormat, when), kReportFileNameSize));
}

std::string ReportOpeningLines(std::string_view stamp) {
    return std::string(kReportHeader) + markerLine(stamp, "Start");
}

std::string ReportEndLine(std::string_view stamp) {
    return markerLine(stamp, "End");
}

std::string ReportDataLine(std::string_view stamp, std::string_view text) {
    std::string line(stamp);
    line.append("\t").append(text);
    return line;
}

}  // namespace kz::log
