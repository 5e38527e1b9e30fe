#include "log/log_lifecycle.h"

#include <string>

#include "config/directories.h"
#include "config/registry_access.h"
#include "config/registry_keys.h"
#include "log/report_log.h"
#include "platform/files.h"

namespace kz::log {

void StartLogging() {
    std::string directory;
    config::RegReadString(config::reg::kAgentKey, config::reg::kActivityLogDirectory, directory,
                          config::Directories::kActivityLogDirectoryLimit);
    OpenReportLogAtAttach(platform::toNativeSeparators(directory));
}

void StopLogging() {
    CloseReportLogAtDetach();
}

}  // namespace kz::log
