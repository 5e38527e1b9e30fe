#pragma once
// kzmta stats and the console's statistics: what the filters did, counted from the daily
// report logs through their index (report_index.h). One query gives hits per filter (in
// the order of FILTER.TAB; an audited filter's AUDIT lines count as its hits), per action
// keyword and per connector, messages and hits per hour or day, and the provider counters
// of the registry. ToJson is the one text of both `kzmta stats --json` and the HTTP API.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "installation.h"
#include "report_line.h"

namespace kz::console {

enum class StatsPeriod { Hour, Day };

struct StatsQuery {
    std::optional<HourKey> since, until;  // inclusive, local time
    StatsPeriod period = StatsPeriod::Day;
};

struct FilterHits {
    std::string description;
    int64_t hits = 0;      // report lines, AUDIT lines included
    int64_t audited = 0;   // of which AUDIT lines
    bool inTable = false;  // false: in the logs but no longer in FILTER.TAB
    std::string lastHit;   // the hour of its last hit in the range ("2026-12-05T14:00")
};

struct NamedCount {
    std::string name;
    int64_t count = 0;
};

struct PeriodCounts {
    std::string start;  // "2026-12-05" or "2026-12-05T14:00", local time
    int64_t messages = 0;
    int64_t hits = 0;
};

struct StatsResult {
    int64_t messages = 0;  // filter runs in which at least one filter held
    int64_t hits = 0;
    std::vector<FilterHits> filters;     // table order, then others by hits
    std::vector<NamedCount> actions;     // per action keyword ("AUDIT" for audit lines)
    std::vector<NamedCount> connectors;  // hits per connector
    StatsPeriod period = StatsPeriod::Day;
    std::vector<PeriodCounts> periods;  // periods with lines, in time order
    std::vector<ProviderCounter> providers;
    bool indexed = true;  // false: the index could not be kept beside the logs
};

// Brings the index beside the logs up to date and answers the query. Throws ConsoleError.
StatsResult QueryStats(const Installation& installation, const StatsQuery& query);

std::string ToJson(const StatsResult& result);
// The Prometheus text exposition format, for node-exporter's textfile collector.
std::string ToPrometheus(const StatsResult& result);
// For a terminal.
std::string ToText(const StatsResult& result);

// "YYYY-MM-DD" or "YYYY-MM-DDTHH" (also with a blank for T): the first hour it names, or
// with `last` its last hour. Empty when malformed.
std::optional<HourKey> ParseHourKey(std::string_view text, bool last);

}  // namespace kz::console
