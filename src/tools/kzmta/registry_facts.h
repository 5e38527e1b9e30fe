#pragma once
// Values of the registry file that the tool needs before the agent runs.

#include <string>

#include "message/queue_sweep.h"

namespace kz::tool {

// The directory value as a path ('\' becomes '/'), empty when absent.
std::string ConnectorRootDirectory(const std::string& registryPath);
std::string ActivityLogDirectory(const std::string& registryPath);
// The folders where crashed runs may have left files behind.
SweepFolders LeftoverFolders(const std::string& registryPath);
// "Flush Queue Folders" under the agent's key, 1 when absent.
bool FlushQueueFolders(const std::string& registryPath);

// "Executed" lines in the daily report logs of the directory.
std::size_t CountReportLines(const std::string& logDirectory);

}  // namespace kz::tool
