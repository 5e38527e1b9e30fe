#include "filters/criteria_results.h"

#include "base/format.h"
#include "filters/filter_table.h"
#include "log/trace.h"

namespace kz::filters {

void AllocateResults(const FilterTable& table, CriteriaResults& results) {
    log::Trace("Allocating %d Results\n", table.filterCount());
    results.blocks.clear();
    results.blocks.resize(table.filters.size());
}

void ReleaseResults(CriteriaResults& results) {
    log::Trace("Releasing %d Results\n", results.filterCount());
    results.blocks.clear();
    results.blocks.shrink_to_fit();
}

}  // namespace kz::filters
