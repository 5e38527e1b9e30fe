#pragma once
// The criteria files of one filter, read while the table loads.

#include <string>
#include <string_view>

#include "filters/filter_table.h"

namespace kz::filters {

// Where the files of the FILTERS folder stand, resolved on disk without regard to case.
std::string CriteriaFilePath(const FilterTable& table, std::string_view criteriaName,
                             std::string_view extension);
std::string FilterTabPath(const FilterTable& table);

// Reads the criteria table at `path` into the filter's slots. False when it cannot be
// read.
bool LoadCriteriaTable(FilterTable& table, FilterDefinition& filter, const std::string& path);

// Reads the criteria script at `path` into the filter and enables the kinds its tokens
// name.
void LoadCriteriaScript(FilterTable& table, FilterDefinition& filter, const std::string& path);

// When the table caches word files: reads the word file that `argument` refers to
// into the cache, unless it is already there.
enum class CacheSource { CriteriaTable, CriteriaScript };
void CacheWordFile(FilterTable& table, std::string_view argument, CacheSource source);

}  // namespace kz::filters
