#include "filters/filter_table.h"

#include "base/format.h"
#include "log/trace.h"

namespace kz::filters {

int ResetFilterTable(FilterTable& table) {
    table.filterCount = 0;
    table.hasScriptFilters = 0;
    return 1;
}

int ReleaseFilterTable(FilterTable& table) {
    Trace("Releasing %d Filters\n", int(table.filterCount));
    for (int32_t position = 1; position <= table.filterCount; ++position) {
        Trace("Releasing Filter %ld\n", long(position));
        if (std::size_t(position) <= table.filters.size()) table.filters[position - 1].reset();
    }
    table.filters.clear();
    table.patternCache.clear();
    return 1;
}

const PatternList* FindPatternList(const FilterTable& table, std::string_view path) {
    return table.patternCache.find(path);
}

}  // namespace kz::filters
