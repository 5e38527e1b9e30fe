#include "report_search.h"

#include <algorithm>
#include <deque>
#include <fstream>
#include <nlohmann/json.hpp>

#include "base/ascii.h"
#include "platform/files.h"
#include "platform/utf8_path.h"

namespace kz::tool::web {

namespace {

constexpr std::string_view kPrefix = "MTAFILTER-Report-";
// A line longer than this is no line the agent wrote; it is skipped, not held.
constexpr std::size_t kMaxLine = 64 * 1024;

bool contains(std::string_view text, std::string_view part) {
    return part.empty() || findIgnoreCase(text, part) != std::string_view::npos;
}

bool matches(const ReportLine& line, const LogQuery& query) {
    return contains(line.sender, query.sender) && contains(line.subject, query.subject) &&
           contains(line.filter, query.filter);
}

// Calls `take` with each line of the file; lines past kMaxLine are skipped whole.
template <typename Take>
void readLines(const std::string& path, Take take) {
    std::ifstream in(platform::pathFromUtf8(path), std::ios::binary);
    std::string line;
    char buffer[8192];
    bool overlong = false;
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        std::string_view chunk(buffer, std::size_t(in.gcount()));
        while (!chunk.empty()) {
            std::size_t end = chunk.find('\n');
            std::string_view piece = chunk.substr(0, end);
            if (!overlong) line.append(piece);
            if (line.size() > kMaxLine) {
                overlong = true;
                line.clear();
            }
            if (end == std::string_view::npos) break;
            if (!overlong) take(std::string_view(line));
            line.clear();
            overlong = false;
            chunk.remove_prefix(end + 1);
        }
    }
    if (!overlong && !line.empty()) take(std::string_view(line));
}

}  // namespace

std::optional<int> ReportFileDay(std::string_view name) {
    if (!startsWithIgnoreCase(name, kPrefix) || !endsWithIgnoreCase(name, ".log") ||
        name.size() != kPrefix.size() + 6 + 4)
        return std::nullopt;
    std::string_view digits = name.substr(kPrefix.size(), 6);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    // Two-digit years: the agent has written none before 2000.
    return 20000000 + std::stoi(std::string(digits));
}

std::optional<ReportLine> ParseReportLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::vector<std::string> fields;
    while (fields.size() < 10) {
        std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos) return std::nullopt;
        fields.emplace_back(line.substr(0, tab));
        line.remove_prefix(tab + 1);
    }
    // The subject, last, keeps any tab of its own.
    fields.emplace_back(line);
    const std::string& action = fields[1];
    if (fields[0] == "Time" || action == "Start" || action == "End" || action.empty())
        return std::nullopt;
    return ReportLine{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5],
                      fields[6], fields[7], fields[8], fields[9], fields[10]};
}

ReportPage SearchReportLog(const std::string& logDirectory, const LogQuery& query,
                           std::size_t pageSize) {
    ReportPage page;
    page.page = query.page;
    if (logDirectory.empty() || pageSize == 0) return page;
    std::vector<std::pair<int, std::string>> files;
    for (const std::string& name : platform::listDirectory(logDirectory)) {
        auto day = ReportFileDay(name);
        if (!day || (query.since && *day < *query.since) || (query.until && *day > *query.until))
            continue;
        files.emplace_back(*day, name);
    }
    std::sort(files.begin(), files.end(), std::greater<>());
    // Newest first: the page starts `skip` matches from the newest; one match beyond the
    // page tells whether there is another.
    const std::size_t skip = std::size_t(query.page) * pageSize;
    const std::size_t wanted = skip + pageSize + 1;
    std::size_t found = 0;  // matches in the files already read, newest first
    for (const auto& file : files) {
        // The newest matches of the file that are still wanted; older ones fall out.
        std::deque<ReportLine> newest;
        const std::size_t room = wanted - found;
        readLines(platform::joinPath(logDirectory, file.second), [&](std::string_view text) {
            auto line = ParseReportLine(text);
            if (!line || !matches(*line, query)) return;
            newest.push_back(std::move(*line));
            if (newest.size() > room) newest.pop_front();
        });
        for (auto it = newest.rbegin(); it != newest.rend(); ++it, ++found) {
            if (found < skip) continue;
            if (page.lines.size() == pageSize) {
                page.more = true;
                break;
            }
            page.lines.push_back(std::move(*it));
        }
        if (found >= wanted || page.more) break;
    }
    return page;
}

std::string ToJson(const ReportPage& page) {
    nlohmann::json lines = nlohmann::json::array();
    for (const ReportLine& l : page.lines) {
        lines.push_back({{"time", l.time},
                         {"action", l.action},
                         {"message", l.messageId},
                         {"connector", l.connector},
                         {"filter", l.filter},
                         {"result", l.result},
                         {"account", l.account},
                         {"sender", l.sender},
                         {"ip", l.ipAddress},
                         {"data", l.data},
                         {"subject", l.subject}});
    }
    nlohmann::json out = {{"page", page.page}, {"more", page.more}, {"lines", std::move(lines)}};
    // Report lines carry message data in any encoding: invalid UTF-8 is replaced, not refused.
    return out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace kz::tool::web
