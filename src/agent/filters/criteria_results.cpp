#include "filters/criteria_results.h"

#include <algorithm>

#include "base/format.h"
#include "filters/filter_table.h"
#include "log/trace.h"

namespace kz::filters {

int AllocateResults(const FilterTable& table, CriteriaResults& results) {
    Trace("Allocating %d Results\n", int(table.filterCount));
    results.blocks.clear();
    results.blocks.resize(std::size_t(std::max<int32_t>(table.filterCount, 0)));
    results.filterCount = table.filterCount;
    return 1;
}

int ReleaseResults(CriteriaResults& results) {
    Trace("Releasing %d Results\n", int(results.filterCount));
    results.blocks.clear();
    results.blocks.shrink_to_fit();
    results.filterCount = 0;
    return 1;
}

}  // namespace kz::filters
