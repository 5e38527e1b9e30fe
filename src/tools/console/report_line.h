#pragma once
// The lines of the agent's daily report log as the console reads them: a time stamp
// "MM/DD/YY HH:MM:SS" in local time, a tab, the action and the nine columns of the
// header (MessageID, Connector, Filter, Result, Account, Sender, IPAddress, Data,
// Subject). Only lines with all eleven fields count; other lines are diagnostics.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kz::console {

struct ReportLine {
    std::string_view stamp, action, messageId, connector, filter, result, account, sender,
        ipAddress, data, subject;
};

// Splits one line (without its line end; a carriage return before it is dropped).
std::optional<ReportLine> ParseReportLine(std::string_view line);

// An hour of local time as the number YYYYMMDDHH: the unit of the statistics.
using HourKey = int64_t;
// The hour of a report-log time stamp; years 70 to 99 are 19xx, the others 20xx.
std::optional<HourKey> StampHour(std::string_view stamp);

// When the hour begins (local time, as the report log's stamps are).
std::chrono::system_clock::time_point LocalHourStart(HourKey hour);

// "MTAFILTER-Report-YYMMDD.log" in any case: a file the agent's log writer made.
bool IsReportFileName(std::string_view name);

// The keyword list of an "Executed" line's Result column: "AUDIT" or "AUDIT:K1,K2" for a
// filter that was only audited, otherwise "K1,K2".
struct ResultColumn {
    bool audit = false;
    std::string_view keywords;  // comma-separated
};
ResultColumn SplitResult(std::string_view result);
// Whether the comma-separated keyword list holds the keyword (any case).
bool HasKeyword(std::string_view keywords, std::string_view keyword);

}  // namespace kz::console
