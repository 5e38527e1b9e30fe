// Word files named by criteria are read into the table's cache once per load, however
// many filters name them.

#include <optional>

#include "base/format.h"
#include "filters/criteria_files.h"
#include "log/trace.h"

namespace kz::filters {

void CacheWordFile(FilterTable& table, std::string_view argument, CacheSource source) {
    std::optional<std::string> path = ResolveWordFile(table, argument);
    if (!path || table.patternCache.contains(*path)) return;
    if (source == CacheSource::CriteriaTable) {
        log::Trace("Loading %s into pattern cache from simple filter\n", path->c_str());
    } else {
        log::Trace("Loading %s into pattern cache\n", path->c_str());
    }
    table.patternCache.load(*path);
}

}  // namespace kz::filters
