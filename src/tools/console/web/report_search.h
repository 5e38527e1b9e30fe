#pragma once
// The console's search of the daily report logs: the report lines (those the agent wrote
// for what filters did, and the console's own Released/Deleted lines) that match a
// query, newest first, one page at a time. A page costs memory for itself and the pages
// before it, never for the whole log.

#include <string>
#include <vector>

#include "request.h"

namespace kz::tool::web {

struct ReportLine {
    std::string time;  // as written: MM/DD/YY HH:MM:SS
    std::string action;
    std::string messageId;
    std::string connector;
    std::string filter;
    std::string result;
    std::string account;
    std::string sender;
    std::string ipAddress;
    std::string data;
    std::string subject;
};

struct ReportPage {
    std::vector<ReportLine> lines;
    unsigned page = 0;
    bool more = false;  // a further page has lines
};

constexpr std::size_t kReportPageSize = 50;

ReportPage SearchReportLog(const std::string& logDirectory, const LogQuery& query,
                           std::size_t pageSize = kReportPageSize);

// A report line's fields, or null for a line that is none (the header, Start and End, a
// diagnostic text).
std::optional<ReportLine> ParseReportLine(std::string_view line);

// The day (YYYYMMDD) a daily report file holds, from its name; null for other files.
std::optional<int> ReportFileDay(std::string_view fileName);

std::string ToJson(const ReportPage& page);

}  // namespace kz::tool::web
