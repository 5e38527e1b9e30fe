#pragma once
// What kzmta check-config finds, for the command and for the console's Filters page: the
// filter table as the agent loads it and the problems in it and its files.

#include <string>
#include <vector>

#include "filters/table_diagnostics.h"

namespace kz::tool {

struct LoadedFilter {
    int position = 0;  // in FILTER.TAB order, from 1
    std::string name;
    std::string description;
    bool audited = false;
    bool isScript = false;
};

struct ConfigCheck {
    std::string configuration;  // the Configuration Directory
    std::vector<LoadedFilter> filters;
    std::vector<filters::ConfigProblem> problems;
};

// Loads the table through an AgentSession (process-wide agent state: one caller at a
// time). Throws when the registry file is missing or unreadable.
ConfigCheck CheckConfiguration(const std::string& registryPath, bool verbose);

}  // namespace kz::tool
