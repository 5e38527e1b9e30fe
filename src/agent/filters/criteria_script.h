#pragma once
// The verdict of a filter whose criteria are a script.

#include <cstddef>
#include <string>

#include "filters/criteria_results.h"
#include "filters/filter_table.h"

namespace kz::filters {

// Runs the filter's generated script; 1 when the filter holds. The script's result text
// goes to resultText (at most resultSize-1 characters).
int RunCriteriaScript(int position, const FilterDefinition& filter, CriteriaResults& results,
                      std::string& resultText, std::size_t resultSize);

}  // namespace kz::filters
