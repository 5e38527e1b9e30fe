#pragma once
// Read-only views of what the filter-table loader passes over: FILTER.TAB lines it
// skips, fields it reads cut or empty, criteria files it cannot find, script tokens that
// never take effect and word files that hold no words. The loader itself stays silent
// about these; an administrator's check reads them from here.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "filters/filter_table.h"

namespace kz::filters {

struct ConfigProblem {
    std::string file;  // path of the file concerned
    int line = 0;      // 1-based; 0 for the file as a whole
    std::string message;
};

// A configuration file's lines as the loaders read them (pieces of at most 2047
// characters), each with the number of the line of the file it comes from.
struct NumberedLine {
    int line = 0;
    std::string text;      // with its line feed, when it had one
    bool tooLong = false;  // the file's line was longer than the limit and read in pieces
};
std::optional<std::vector<NumberedLine>> ReadNumberedConfigLines(std::string_view path);

// FILTER.TAB: lines skipped (not enabled, beyond the 100th filter), fields read as
// empty because they are too long, lines read in pieces.
std::vector<ConfigProblem> DiagnoseFilterTab(const FilterTable& table);

// For each loaded filter: a missing criteria file, criteria-table lines that are cut or
// ignored, script tokens that name no kind or are spelled in another case, more token
// occurrences of a kind than the results hold, and word files that are missing or empty.
std::vector<ConfigProblem> DiagnoseCriteriaFiles(const FilterTable& table);

}  // namespace kz::filters
