// A criteria table: line n holds criterion kind n, with the enabled flag in field 1,
// the word list in field 3 (comma-separated) and the threshold in field 6.

#include <algorithm>
#include <optional>
#include <vector>

#include "filters/config_fields.h"
#include "filters/config_lines.h"
#include "filters/criteria_files.h"

namespace kz::filters {

namespace {

constexpr TextLimit kDataFieldLimit{2048};

void readCriterionLine(FilterTable& table, CriterionSlot& slot, std::string_view line) {
    slot.instanceCount += 1;
    slot.enabled = AtoiText(TabField(line, 1, kNumberFieldLimit).value_or(std::string()));
    std::string data = TabField(line, 3, kDataFieldLimit).value_or(std::string());
    std::replace(data.begin(), data.end(), ',', '\t');
    if (slot.isEnabled() && table.patternCaching && !data.empty()) {
        CacheWordFile(table, data, CacheSource::CriteriaTable);
    }
    slot.data = std::move(data);
    std::optional<std::string> threshold = TabField(line, 6, kNumberFieldLimit);
    slot.threshold = threshold ? AtoiText(*threshold) : 1;
    if (slot.isEnabled() && slot.threshold < 1) slot.threshold = 1;
}

}  // namespace

bool LoadCriteriaTable(FilterTable& table, FilterDefinition& filter, const std::string& path) {
    std::optional<std::vector<std::string>> lines = ReadConfigLines(path);
    if (!lines) return false;
    std::size_t count = std::min<std::size_t>(lines->size(), kCriterionCount);
    for (std::size_t n = 0; n < count; ++n) {
        // The line feed stays: the last field of a line keeps it.
        readCriterionLine(table, filter.slots[n], (*lines)[n]);
    }
    return true;
}

}  // namespace kz::filters
