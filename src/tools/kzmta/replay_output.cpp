#include "replay_output.h"

#include <cstdio>
#include <map>

#include "json_writer.h"
#include "printable_text.h"

namespace kz::tool {

namespace {

std::string number(uint64_t n, int width) {
    char text[32];
    std::snprintf(text, sizeof text, "%*llu", width, static_cast<unsigned long long>(n));
    return text;
}

std::string filterLabel(const TablePlan::Filter& filter) {
    return PrintableText(filter.description, false) + (filter.audited ? " (audited)" : "");
}

// "description (ACTIONS)" per filter that holds, or a note when none does.
std::string outcomeText(const TablePlan& plan, const std::vector<int>& holding) {
    if (holding.empty()) return "no filter holds";
    std::string out;
    for (int position : holding) {
        const TablePlan::Filter& filter = plan.filters[std::size_t(position - 1)];
        out += (out.empty() ? "" : "; ") + filterLabel(filter) + " (" +
               (filter.actions.empty() ? "no action" : filter.actions) + ")";
    }
    return out;
}

// The per-filter difference, matched by description: the second table's order, then
// what only the first has.
void differenceLines(std::string& out, const ReplaySummary& s) {
    struct Row {
        std::string description;
        int64_t before = 0, after = 0;
    };
    std::vector<Row> rows;
    std::map<std::string, std::size_t> byDescription;
    auto row = [&](const std::string& description) -> Row& {
        auto [it, added] = byDescription.emplace(description, rows.size());
        if (added) rows.push_back({description});
        return rows[it->second];
    };
    for (std::size_t i = 0; i < s.compareTable.filters.size(); ++i)
        row(s.compareTable.filters[i].description).after += int64_t(s.compareHolds[i]);
    for (std::size_t i = 0; i < s.table.filters.size(); ++i)
        row(s.table.filters[i].description).before += int64_t(s.holds[i]);
    out += "\nPer filter:   before    after   change\n";
    for (const Row& r : rows) {
        const int64_t change = r.after - r.before;
        char line[96];
        std::snprintf(line, sizeof line, "           %8lld %8lld %+8lld  ",
                      static_cast<long long>(r.before), static_cast<long long>(r.after),
                      static_cast<long long>(change));
        out += line + PrintableText(r.description, false) + "\n";
    }
}

void filtersJson(JsonWriter& json, const TablePlan& plan, const std::vector<uint64_t>& holds) {
    json.beginArray();
    for (std::size_t i = 0; i < plan.filters.size(); ++i) {
        json.beginObject()
            .member("description", plan.filters[i].description)
            .member("holds", int64_t(holds[i]))
            .member("audited", plan.filters[i].audited)
            .endObject();
    }
    json.endArray();
}

std::vector<std::string> descriptions(const TablePlan& plan, const std::vector<int>& holding) {
    std::vector<std::string> texts;
    for (int position : holding)
        texts.push_back(plan.filters[std::size_t(position - 1)].description);
    return texts;
}

}  // namespace

std::string ReplayText(const ReplaySummary& s) {
    char rate[160];
    std::snprintf(rate, sizeof rate, " in %.2f s (%.1f messages a second)", s.seconds,
                  s.seconds > 0 ? double(s.messages) / s.seconds : 0.0);
    std::string out = "Messages: " + std::to_string(s.messages) + rate + "\n";
    if (s.notScanned)
        out += "Not scanned (handed on unfiltered): " + std::to_string(s.notScanned) + "\n";
    if (s.cut) out += "Cut at the size limit: " + std::to_string(s.cut) + "\n";
    out += "\n   holds  filter\n";
    for (std::size_t i = 0; i < s.table.filters.size(); ++i) {
        out += number(s.holds[i], 8) + "  " + std::to_string(i + 1) + " " +
               filterLabel(s.table.filters[i]) + "\n";
    }
    if (!s.compared) return out;
    out += "\nMessages whose outcome changes: " + std::to_string(s.changed.size()) + "\n";
    for (const ChangedMessage& c : s.changed) {
        out += "  " + PrintableText(c.message, false) + "\n";
        out += "    before: " + outcomeText(s.table, c.before) + "\n";
        out += "    after:  " + outcomeText(s.compareTable, c.after) + "\n";
    }
    differenceLines(out, s);
    return out;
}

std::string ReplayJson(const ReplaySummary& s) {
    JsonWriter json;
    json.beginObject()
        .member("messages", int64_t(s.messages))
        .member("notScanned", int64_t(s.notScanned))
        .member("cut", int64_t(s.cut));
    json.key("filters");
    filtersJson(json, s.table, s.holds);
    if (s.compared) {
        json.key("compareFilters");
        filtersJson(json, s.compareTable, s.compareHolds);
        json.key("changed").beginArray();
        for (const ChangedMessage& c : s.changed) {
            json.beginObject()
                .member("message", c.message)
                .member("before", descriptions(s.table, c.before))
                .member("after", descriptions(s.compareTable, c.after))
                .endObject();
        }
        json.endArray();
    }
    json.endObject();
    return json.text() + "\n";
}

}  // namespace kz::tool
