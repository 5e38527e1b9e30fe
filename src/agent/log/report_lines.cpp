#include "log/report_lines.h"

#include <algorithm>

#include "base/line_breaks.h"
#include "base/text_limit.h"

namespace kz::log {

namespace {

// The time, the action and a dash in each of the eight columns after it.
std::string markerLine(std::string_view stamp, std::string_view action) {
    std::string line(stamp);
    line.append("\t").append(action).append("\t-\t-\t-\t-\t-\t-\t-\t-\n");
    return line;
}

// The longest length every field may keep so that all of them fit into `room`.
std::size_t CommonCut(const std::vector<std::string_view>& fields, std::size_t room) {
    std::vector<std::size_t> lengths;
    for (std::string_view field : fields) lengths.push_back(field.size());
    std::sort(lengths.begin(), lengths.end());
    std::size_t kept = 0;  // the whole lengths of the shorter fields
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        std::size_t rest = lengths.size() - i;
        if (kept + lengths[i] * rest > room) return (room - kept) / rest;
        kept += lengths[i];
    }
    return lengths.empty() ? 0 : lengths.back();
}

}  // namespace

std::string ReportFileName(platform::TimePoint when) {
    return std::string(
        kReportFileNameLimit.cut(platform::formatLocalTime(kReportFileNameFormat, when)));
}

std::string ReportOpeningLines(std::string_view stamp) {
    return std::string(kReportHeader) + markerLine(stamp, "Start");
}

std::string ReportEndLine(std::string_view stamp) {
    return markerLine(stamp, "End");
}

std::string ReportExecutedLine(const std::vector<std::string_view>& fields, TextLimit lineLimit) {
    constexpr std::string_view kAction = "Executed";
    std::size_t frame = kAction.size() + fields.size() + 1;  // the tabs and the line feed
    std::size_t room = lineLimit.maxLength() > frame ? lineLimit.maxLength() - frame : 0;
    std::size_t cut = CommonCut(fields, room);
    std::size_t size = frame;
    for (std::string_view field : fields) size += std::min(field.size(), cut);
    std::string line;
    line.reserve(size);
    line.append(kAction);
    for (std::string_view field : fields) line.append("\t").append(field.substr(0, cut));
    BlankLineBreaksInPlace(line);
    line += '\n';
    return line;
}

std::string ReportDataLine(std::string_view stamp, std::string_view text) {
    std::string line(stamp);
    line.append("\t").append(text);
    return line;
}

}  // namespace kz::log
