// Paths of the files under the FILTERS folder of the configuration directory.

#include "filters/criteria_files.h"
#include "platform/files.h"

namespace kz::filters {

namespace {

std::string filtersFolder(const FilterTable& table) {
    return platform::joinPath(table.configurationDirectory, "FILTERS");
}

}  // namespace

std::string FilterTabPath(const FilterTable& table) {
    return platform::resolvePath(platform::joinPath(filtersFolder(table), "FILTER.TAB"));
}

std::string CriteriaFilePath(const FilterTable& table, std::string_view criteriaName,
                             std::string_view extension) {
    std::string folder = platform::joinPath(filtersFolder(table), "CRITERIA");
    std::string name = std::string(criteriaName) + "." + std::string(extension);
    return platform::resolvePath(platform::joinPath(folder, name));
}

}  // namespace kz::filters
