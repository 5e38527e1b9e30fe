#pragma once
// Values of the registry file that the tool needs before the agent runs.

#include <string>

namespace kz::tool {

// The directory value as a path ('\' becomes '/'), empty when absent.
std::string ConnectorRootDirectory(const std::string& registryPath);
std::string ActivityLogDirectory(const std::string& registryPath);

// "Executed" lines in the daily report logs of the directory.
std::size_t CountReportLines(const std::string& logDirectory);

}  // namespace kz::tool
