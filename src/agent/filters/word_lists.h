#pragma once
// Word files named by criteria: every line is a pattern, and every line that matches a
// value is one hit. Cached files are matched from the table's pattern cache; without
// caching the file is read afresh at every evaluation (a version already read stands for
// it while the file is unchanged). Matched here line by line, for criteria that were not
// compiled with the table (the compiled ones search their kind's lists together).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "filters/criteria_results.h"
#include "filters/criterion_type.h"
#include "filters/filter_table.h"

namespace kz::filters {

// Records a hit for each found entry of a word file, with its trace line.
void RecordWordFileHits(const std::vector<std::string>& entries,
                        const std::vector<std::size_t>& found, bool cached, CriterionType kind,
                        int instance, MatchResultBlock& block, std::string_view tag);

// Matches the value against every entry of the cached word list at `path`. True when the path is
// cached (whatever matched), false when it is not.
bool MatchWordFileCached(const FilterTable& table, std::string_view value,
                         std::string_view delimiters, std::string_view path, CriterionType kind,
                         int instance, MatchResultBlock& block, std::string_view tag);

// Matches the value against each line of the word file at `path` as read in text mode
// (readNow: read now, not taken from an unchanged earlier read). True when the file could
// be read (whatever matched), false when it could not.
bool MatchWordFile(std::string_view value, std::string_view delimiters, const std::string& path,
                   CriterionType kind, int instance, MatchResultBlock& block, std::string_view tag,
                   bool readNow = false);

// When the instance data refers to a word file that can be used (cached, or readable
// when the table does not cache), matches it and returns true; false leaves the data to
// be read as an inline list.
bool MatchInstanceWordFile(const FilterTable& table, std::string_view value,
                           std::string_view delimiters, std::string_view instanceData,
                           CriterionType kind, int instance, MatchResultBlock& block,
                           std::string_view tag);

}  // namespace kz::filters
