#include "stats.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "base/ascii.h"
#include "json_writer.h"
#include "printable_text.h"
#include "report_index.h"

namespace kz::console {

namespace {

using tool::JsonWriter;

constexpr HourKey kFirstHour = 0, kLastHour = 9999123123;

std::string periodStart(int64_t key, StatsPeriod period) {
    char text[32];
    if (period == StatsPeriod::Day) {
        std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", (long long)(key / 10000),
                      (long long)(key / 100 % 100), (long long)(key % 100));
    } else {
        std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:00",
                      (long long)(key / 1000000), (long long)(key / 10000 % 100),
                      (long long)(key / 100 % 100), (long long)(key % 100));
    }
    return text;
}

// Hits per filter description, with the AUDIT lines among them, and per action keyword.
struct ByFilter {
    std::map<std::string, FilterHits> filters;
    std::map<std::string, int64_t> actions;
};

ByFilter countFilters(SqliteDatabase& db, HourKey since, HourKey until) {
    SqliteStatement query(db.handle(),
                          "SELECT filter, result, SUM(n), MAX(hour) FROM hits WHERE hour BETWEEN "
                          "?1 AND ?2 GROUP BY filter, result");
    query.bind(1, since).bind(2, until);
    ByFilter counted;
    while (query.step()) {
        std::string filter = query.text(0), resultText = query.text(1);
        int64_t n = query.integer(2);
        FilterHits& hits = counted.filters[filter];
        hits.description = filter;
        hits.hits += n;
        // Stamps of one width: the later hour is the greater text.
        hits.lastHit = std::max(hits.lastHit, periodStart(query.integer(3), StatsPeriod::Hour));
        ResultColumn result = SplitResult(resultText);
        if (result.audit) {
            hits.audited += n;
            counted.actions["AUDIT"] += n;
            continue;
        }
        std::string_view keywords = result.keywords;
        while (!keywords.empty()) {
            std::size_t comma = keywords.find(',');
            std::string keyword = toUpperAscii(keywords.substr(0, comma));
            if (!keyword.empty()) counted.actions[keyword] += n;
            if (comma == std::string_view::npos) break;
            keywords.remove_prefix(comma + 1);
        }
    }
    return counted;
}

// Table order first (a description the table holds twice counts at its first place),
// then what the logs name that the table no longer holds, most hits first.
std::vector<FilterHits> inTableOrder(const std::vector<TableFilter>& table,
                                     std::map<std::string, FilterHits> counted) {
    std::vector<FilterHits> ordered;
    for (const TableFilter& filter : table) {
        FilterHits hits;
        hits.description = filter.description;
        hits.inTable = true;
        if (auto found = counted.find(filter.description); found != counted.end()) {
            hits.hits = found->second.hits;
            hits.audited = found->second.audited;
            hits.lastHit = found->second.lastHit;
            counted.erase(found);
        }
        ordered.push_back(std::move(hits));
    }
    std::vector<FilterHits> others;
    for (auto& [description, hits] : counted) others.push_back(std::move(hits));
    std::stable_sort(others.begin(), others.end(),
                     [](const FilterHits& a, const FilterHits& b) { return a.hits > b.hits; });
    ordered.insert(ordered.end(), others.begin(), others.end());
    return ordered;
}

std::vector<NamedCount> sortedCounts(const std::map<std::string, int64_t>& counts) {
    std::vector<NamedCount> sorted;
    for (const auto& [name, count] : counts) sorted.push_back({name, count});
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const NamedCount& a, const NamedCount& b) { return a.count > b.count; });
    return sorted;
}

std::map<std::string, int64_t> countGroups(SqliteDatabase& db, std::string_view sql, HourKey since,
                                           HourKey until) {
    SqliteStatement query(db.handle(), sql);
    query.bind(1, since).bind(2, until);
    std::map<std::string, int64_t> counts;
    while (query.step()) counts[query.text(0)] += query.integer(1);
    return counts;
}

std::vector<PeriodCounts> countPeriods(SqliteDatabase& db, StatsPeriod period, HourKey since,
                                       HourKey until) {
    const int64_t divisor = period == StatsPeriod::Day ? 100 : 1;
    std::map<int64_t, PeriodCounts> periods;
    for (const char* table : {"hits", "messages"}) {
        SqliteStatement query(db.handle(), std::string("SELECT hour / ?3, SUM(n) FROM ") + table +
                                               " WHERE hour BETWEEN ?1 AND ?2 GROUP BY 1");
        query.bind(1, since).bind(2, until).bind(3, divisor);
        while (query.step()) {
            PeriodCounts& counts = periods[query.integer(0)];
            (std::string_view(table) == "hits" ? counts.hits : counts.messages) += query.integer(1);
        }
    }
    std::vector<PeriodCounts> ordered;
    for (auto& [key, counts] : periods) {
        counts.start = periodStart(key, period);
        ordered.push_back(std::move(counts));
    }
    return ordered;
}

void namedCounts(JsonWriter& json, std::string_view key, std::string_view nameKey,
                 const std::vector<NamedCount>& counts) {
    json.key(key).beginArray();
    for (const NamedCount& count : counts)
        json.beginObject().member(nameKey, count.name).member("hits", count.count).endObject();
    json.endArray();
}

// A label value: backslash, double quote and line feed escaped, UTF-8 throughout.
std::string labelValue(std::string_view text) {
    std::string out;
    for (char c : tool::ValidUtf8(text)) {
        if (c == '\\' || c == '"')
            out += '\\', out += c;
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

void metricFamily(std::string& out, std::string_view name, std::string_view help) {
    out.append("# HELP ").append(name).append(" ").append(help).append("\n");
    out.append("# TYPE ").append(name).append(" counter\n");
}

void sample(std::string& out, std::string_view name, std::string_view label, std::string_view value,
            int64_t count) {
    out.append(name);
    if (!label.empty())
        out.append("{").append(label).append("=\"").append(labelValue(value)).append("\"}");
    out.append(" ").append(std::to_string(count)).append("\n");
}

}  // namespace

std::optional<HourKey> ParseHourKey(std::string_view text, bool last) {
    auto digits = [&](std::size_t at, std::size_t count) -> int {
        if (at + count > text.size()) return -1;
        int value = 0;
        for (std::size_t i = at; i < at + count; ++i) {
            if (text[i] < '0' || text[i] > '9') return -1;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    if (text.size() != 10 && text.size() != 13) return std::nullopt;
    if (text[4] != '-' || text[7] != '-') return std::nullopt;
    int year = digits(0, 4), month = digits(5, 2), day = digits(8, 2);
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    HourKey dayKey = HourKey(year) * 1000000 + month * 10000 + day * 100;
    if (text.size() == 10) return dayKey + (last ? 23 : 0);
    if (text[10] != 'T' && text[10] != ' ') return std::nullopt;
    int hour = digits(11, 2);
    if (hour < 0 || hour > 23) return std::nullopt;
    return dayKey + hour;
}

StatsResult QueryStats(const Installation& installation, const StatsQuery& query) {
    ReportIndex index(installation.logDirectory);
    index.update();
    SqliteDatabase& db = index.database();
    const HourKey since = query.since.value_or(kFirstHour);
    const HourKey until = query.until.value_or(kLastHour);

    StatsResult result;
    result.indexed = index.persistent();
    result.period = query.period;
    ByFilter byFilter = countFilters(db, since, until);
    for (const auto& [description, hits] : byFilter.filters) result.hits += hits.hits;
    result.filters = inTableOrder(ReadTableFilters(installation), std::move(byFilter.filters));
    result.actions = sortedCounts(byFilter.actions);
    result.connectors = sortedCounts(countGroups(
        db, "SELECT connector, SUM(n) FROM hits WHERE hour BETWEEN ?1 AND ?2 GROUP BY connector",
        since, until));
    for (const auto& [connector, n] : countGroups(db,
                                                  "SELECT connector, SUM(n) FROM messages WHERE "
                                                  "hour BETWEEN ?1 AND ?2 GROUP BY connector",
                                                  since, until))
        result.messages += n;
    result.periods = countPeriods(db, query.period, since, until);
    result.providers = ReadProviderCounters(installation);
    return result;
}

std::string ToJson(const StatsResult& result) {
    JsonWriter json;
    json.beginObject().member("messages", result.messages).member("hits", result.hits);
    json.key("filters").beginArray();
    for (const FilterHits& filter : result.filters) {
        json.beginObject()
            .member("description", filter.description)
            .member("hits", filter.hits)
            .member("audited", filter.audited)
            .member("inTable", filter.inTable)
            .member("lastHit", filter.lastHit)
            .endObject();
    }
    json.endArray();
    namedCounts(json, "actions", "action", result.actions);
    namedCounts(json, "connectors", "connector", result.connectors);
    json.member("period", result.period == StatsPeriod::Day ? "day" : "hour");
    json.key("periods").beginArray();
    for (const PeriodCounts& period : result.periods) {
        json.beginObject()
            .member("start", period.start)
            .member("messages", period.messages)
            .member("hits", period.hits)
            .endObject();
    }
    json.endArray().key("providers").beginArray();
    for (const ProviderCounter& counter : result.providers) {
        json.beginObject()
            .member("provider", counter.provider)
            .member("scans", int64_t(counter.scans))
            .member("detections", int64_t(counter.detections))
            .endObject();
    }
    json.endArray().endObject();
    return json.text() + "\n";
}

std::string ToPrometheus(const StatsResult& result) {
    std::string out;
    metricFamily(out, "kzmta_messages_total", "Messages in which at least one filter held.");
    sample(out, "kzmta_messages_total", "", "", result.messages);
    metricFamily(out, "kzmta_filter_hits_total",
                 "Report lines per filter description, audit lines included.");
    for (const FilterHits& filter : result.filters)
        sample(out, "kzmta_filter_hits_total", "filter", filter.description, filter.hits);
    metricFamily(out, "kzmta_action_total", "Actions carried out, per action keyword.");
    for (const NamedCount& action : result.actions)
        sample(out, "kzmta_action_total", "action", action.name, action.count);
    metricFamily(out, "kzmta_connector_hits_total", "Report lines per connector.");
    for (const NamedCount& connector : result.connectors)
        sample(out, "kzmta_connector_hits_total", "connector", connector.name, connector.count);
    metricFamily(out, "kzmta_provider_scans_total",
                 "Messages a scanning provider looked at since the mail service started.");
    for (const ProviderCounter& counter : result.providers)
        sample(out, "kzmta_provider_scans_total", "provider", counter.provider, counter.scans);
    metricFamily(out, "kzmta_provider_detections_total",
                 "Messages a scanning provider found spam, a virus or a bad signature in.");
    for (const ProviderCounter& counter : result.providers)
        sample(out, "kzmta_provider_detections_total", "provider", counter.provider,
               counter.detections);
    return out;
}

std::string ToText(const StatsResult& result) {
    std::string out = "Messages: " + std::to_string(result.messages) +
                      "\nReport lines: " + std::to_string(result.hits) + "\n\nHits per filter:\n";
    char line[512];
    for (const FilterHits& filter : result.filters) {
        std::snprintf(line, sizeof line, "  %10lld  %s%s%s\n", (long long)filter.hits,
                      tool::PrintableText(filter.description, false).c_str(),
                      filter.audited ? " (audited)" : "",
                      filter.inTable ? "" : " (not in FILTER.TAB)");
        out += line;
    }
    auto counts = [&](const char* title, const std::vector<NamedCount>& list) {
        out += std::string("\n") + title + ":\n";
        for (const NamedCount& count : list) {
            std::snprintf(line, sizeof line, "  %10lld  %s\n", (long long)count.count,
                          tool::PrintableText(count.name, false).c_str());
            out += line;
        }
    };
    counts("Actions", result.actions);
    counts("Hits per connector", result.connectors);
    out += result.period == StatsPeriod::Day ? "\nPer day (messages, hits):\n"
                                             : "\nPer hour (messages, hits):\n";
    for (const PeriodCounts& period : result.periods) {
        std::snprintf(line, sizeof line, "  %-16s %10lld %10lld\n", period.start.c_str(),
                      (long long)period.messages, (long long)period.hits);
        out += line;
    }
    out += "\nProviders (scans, detections) since the mail service started:\n";
    for (const ProviderCounter& counter : result.providers) {
        std::snprintf(line, sizeof line, "  %-14s %10u %10u\n", counter.provider.c_str(),
                      counter.scans, counter.detections);
        out += line;
    }
    return out;
}

}  // namespace kz::console
