// FILTER.TAB: one line per filter, in the order the filters apply. Field 1 is the name,
// field 2 enables the line, field 3 names the criteria (and action) file, field 5 is
// the description and field 7 the match-all flag.

#include <optional>
#include <vector>

#include "base/ascii.h"
#include "base/format.h"
#include "config/paths.h"
#include "config/settings.h"
#include "filters/compiled_instances.h"
#include "filters/config_fields.h"
#include "filters/config_lines.h"
#include "filters/criteria_files.h"
#include "log/debug_log.h"
#include "log/trace.h"
#include "platform/files.h"

namespace kz::filters {

namespace {

bool lineEnabled(std::string_view line) {
    std::optional<std::string> enabled = TabField(line, 2, kNumberFieldLimit);
    return enabled && AtoiText(*enabled) != 0;
}

FilterDefinition definitionFromLine(std::string_view line) {
    FilterDefinition filter;
    filter.name = TabField(line, 1, FilterDefinition::kNameLimit).value_or(std::string());
    filter.criteriaName = TabField(line, 3, FilterDefinition::kNameLimit).value_or(std::string());
    filter.description =
        TabField(line, 5, FilterDefinition::kDescriptionLimit).value_or(std::string());
    std::optional<std::string> matchAll = TabField(line, 7, FilterDefinition::kMatchAllFieldLimit);
    filter.matchAll = matchAll && AtoiText(*matchAll) == 1;
    return filter;
}

void loadCriteria(FilterTable& table, FilterDefinition& filter) {
    // The name picks files under FILTERS; one that would reach elsewhere reads nothing.
    if (!filter.criteriaName.empty() && !config::IsPlainName(filter.criteriaName)) {
        log::DebugLogf(
            "Filter (%s) refused: its criteria name (%s) is not a plain file name. "
            "The filter never holds.\n",
            filter.name.c_str(), filter.criteriaName.c_str());
        return;
    }
    std::string scriptPath = CriteriaFilePath(table, filter.criteriaName, "KZS");
    // Only a definite "not found" lets a criteria table stand in for the script.
    if (platform::fileStatus(scriptPath) != platform::FileStatus::NotFound) {
        LoadCriteriaScript(table, filter, scriptPath);
        return;
    }
    // Without a readable table the filter stays loaded but can never hold.
    LoadCriteriaTable(table, filter, CriteriaFilePath(table, filter.criteriaName, "TAB"));
}

bool listed(const std::vector<std::string>& descriptions, std::string_view description) {
    for (const std::string& entry : descriptions)
        if (equalsIgnoreCase(entry, description)) return true;
    return false;
}

// False when the table is full and the rest of FILTER.TAB is to be ignored.
bool addFilter(FilterTable& table, std::string_view line, const LoadOptions& options) {
    if (table.filterCount() >= kMaxFilters) {
        log::Trace("Too Many Filters Defined\r\n");
        return false;
    }
    table.filters.push_back(definitionFromLine(line));
    FilterDefinition& filter = table.filters.back();
    filter.audited = listed(options.auditedDescriptions, filter.description);
    loadCriteria(table, filter);
    return true;
}

}  // namespace

LoadOptions SettingsLoadOptions(std::string configurationDirectory) {
    LoadOptions options;
    options.configurationDirectory = std::move(configurationDirectory);
    options.allowPatternCaching = config::Settings().allowPatternCaching != 0;
    options.auditedDescriptions = config::AuditFilters();
    return options;
}

void LoadFilterTable(FilterTable& table, const LoadOptions& options) {
    table.configurationDirectory = options.configurationDirectory;
    table.patternCaching = options.allowPatternCaching;
    // A load always starts from an empty table, whatever was left in it.
    table.patternCache.clear();
    table.filters.clear();

    std::optional<std::vector<std::string>> lines = ReadConfigLines(FilterTabPath(table));
    for (const std::string& raw : lines.value_or(std::vector<std::string>())) {
        std::string_view line = CutAtLineFeed(raw);
        if (!lineEnabled(line)) continue;
        if (!addFilter(table, line, options)) break;
    }
    CompileInstances(table);
    log::Trace("Loaded %d Filters\n", table.filterCount());
}

}  // namespace kz::filters
