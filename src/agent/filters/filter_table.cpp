#include "filters/filter_table.h"

#include <algorithm>

#include "base/format.h"
#include "log/trace.h"

namespace kz::filters {

bool FilterTable::hasScriptFilters() const {
    return std::any_of(filters.begin(), filters.end(),
                       [](const FilterDefinition& filter) { return filter.isScript; });
}

void ReleaseFilterTable(FilterTable& table) {
    log::Trace("Releasing %d Filters\n", table.filterCount());
    for (int position = 1; position <= table.filterCount(); ++position)
        log::Trace("Releasing Filter %ld\n", long(position));
    table.filters.clear();
    table.patternCache.clear();
}

const PatternList* FindPatternList(const FilterTable& table, std::string_view path) {
    return table.patternCache.find(path).get();
}

}  // namespace kz::filters
