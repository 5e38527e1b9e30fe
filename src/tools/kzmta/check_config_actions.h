#pragma once
// The action files of the loaded filters as the dispatcher would read them.

#include <vector>

#include "filters/filter_table.h"
#include "filters/table_diagnostics.h"

namespace kz::tool {

// Missing action files, enabled lines whose keyword runs nothing, fields read as empty
// because they are too long, and notification templates that do not exist.
std::vector<filters::ConfigProblem> DiagnoseActionFiles(const filters::FilterTable& table,
                                                        const std::string& configuration);

}  // namespace kz::tool
