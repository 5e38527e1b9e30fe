#pragma once
// Word files named by criteria: every line is a pattern, and every line that matches a
// value is one hit. Cached files are matched from the table's pattern cache; without
// caching the file is read afresh at every evaluation (a version already read and
// compiled stands for it while the file is unchanged).

#include <string>
#include <string_view>

#include "filters/criteria_results.h"
#include "filters/criterion_type.h"
#include "filters/filter_table.h"

namespace kz::filters {

// Matches the value against every entry of a cached word list.
void MatchPatternList(const PatternList& list, std::string_view value, std::string_view delimiters,
                      CriterionType kind, int instance, MatchResultBlock& block,
                      std::string_view tag);

// Matches the value against every entry of the cached word list at `path` (one by one
// under the table's referenceMatching). True when the path is cached (whatever matched), false when it is not.
bool MatchWordFileCached(const FilterTable& table, std::string_view value,
                         std::string_view delimiters, std::string_view path, CriterionType kind,
                         int instance, MatchResultBlock& block, std::string_view tag);

// Matches the value against each line of the word file at `path` as read in text mode
// (`reference`: read now and matched line by line). True when the file could be read
// (whatever matched), false when it could not.
bool MatchWordFile(std::string_view value, std::string_view delimiters, const std::string& path,
                   CriterionType kind, int instance, MatchResultBlock& block, std::string_view tag,
                   bool reference = false);

// When the instance data refers to a word file that can be used (cached, or readable
// when the table does not cache), matches it and returns true; false leaves the data to
// be read as an inline list.
bool MatchInstanceWordFile(const FilterTable& table, std::string_view value,
                           std::string_view delimiters, std::string_view instanceData,
                           CriterionType kind, int instance, MatchResultBlock& block,
                           std::string_view tag);

}  // namespace kz::filters
