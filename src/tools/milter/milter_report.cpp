#include "milter_report.h"

#include <algorithm>
#include <string_view>

#include "log/report_lines.h"
#include "milter_readback.h"
#include "platform/clock.h"
#include "platform/files.h"

namespace kz::tool {

namespace {

// What many concurrent runs add to the log in the time of one.
constexpr std::size_t kWindowLimit = 1u << 20;

std::string TodaysFile(const std::string& directory) {
    return platform::joinPath(directory, log::ReportFileName(platform::systemNow()));
}

}  // namespace

ReportLogWindow::ReportLogWindow(std::string logDirectory) : directory_(std::move(logDirectory)) {
    if (directory_.empty()) return;
    file_ = TodaysFile(directory_);
    start_ = platform::fileSize(file_).size;
}

std::vector<std::string> ReportLogWindow::filtersFor(const std::string& messageId) const {
    std::vector<std::string> filters;
    if (directory_.empty()) return filters;
    // A run across midnight writes into the new day's file.
    std::string file = TodaysFile(directory_);
    std::string text;
    std::string why;
    StreamFileFrom(
        file, file == file_ ? start_ : 0,
        [&text](std::string_view piece) {
            text.append(piece.substr(0, kWindowLimit - std::min(kWindowLimit, text.size())));
            return text.size() < kWindowLimit;
        },
        why);
    // Time, "Executed", message, connector, filter, ... separated by tabs.
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line(text.data() + at, end - at);
        at = end + 1;
        std::string_view fields[5];
        std::size_t count = 0;
        for (std::size_t from = 0; count < 5 && from <= line.size(); ++count) {
            std::size_t tab = std::min(line.find('\t', from), line.size());
            fields[count] = line.substr(from, tab - from);
            from = tab + 1;
        }
        if (count == 5 && fields[1] == "Executed" && fields[2] == messageId &&
            std::find(filters.begin(), filters.end(), fields[4]) == filters.end())
            filters.emplace_back(fields[4]);
    }
    return filters;
}

}  // namespace kz::tool
