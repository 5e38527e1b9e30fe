#pragma once
// The criteria scripts of the loaded filters, compiled without being run.

#include <vector>

#include "filters/filter_table.h"
#include "filters/table_diagnostics.h"

namespace kz::tool {

// The first syntax error of each script filter as the agent would run it, with its line
// in the .KZS file.
std::vector<filters::ConfigProblem> DiagnoseCriteriaScripts(const filters::FilterTable& table);

}  // namespace kz::tool
