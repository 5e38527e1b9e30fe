#pragma once
// check-config's look at the folders the agent writes into.

#include <string>
#include <vector>

#include "filters/table_diagnostics.h"

namespace kz::tool {

// The Quarantine and Bad Mail Directories, the Mail Root and, with file logging on, the
// Activity Log Directory, as the session's agent reads them: each one set must be a
// folder that takes new files. The bad-mail folder must be set, as it keeps the messages
// whose quarantine copy or rewrite fails; so must the log folder when logging to a file.
// Problems name the registry file.
std::vector<filters::ConfigProblem> DiagnoseFolders(const std::string& registryPath);

}  // namespace kz::tool
