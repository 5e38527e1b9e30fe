#include "check_config_folders.h"

#include <string_view>

#include "config/directories.h"
#include "config/registry_keys.h"
#include "config/settings.h"
#include "platform/files.h"
#include "platform/owner_only.h"

namespace kz::tool {

namespace {

struct Folder {
    std::string_view name;  // the registry value
    std::string path;
    bool required;         // an empty value is a problem too
    std::string_view use;  // what fails without it
};

// Why the folder cannot serve, or empty when it can.
std::string FolderFault(const Folder& folder) {
    if (folder.path.empty())
        return folder.required ? "no \"" + std::string(folder.name) + "\" is set" : std::string();
    std::string where = "the " + std::string(folder.name) + " " + folder.path;
    std::string path = platform::resolvePath(folder.path);
    switch (platform::fileStatus(path)) {
        case platform::FileStatus::NotFound:
            return where + " is missing";
        case platform::FileStatus::Error:
            return where + " cannot be looked at";
        case platform::FileStatus::Ok:
            break;
    }
    if (!platform::isDirectory(path)) return where + " is not a folder";
    if (!platform::canCreateFileIn(path)) return where + " does not take new files";
    return {};
}

}  // namespace

std::vector<filters::ConfigProblem> DiagnoseFolders(const std::string& registryPath) {
    auto dirs = config::CurrentDirectories();
    const bool fileLogging = config::ActivityLogEnabled() == 1;
    const Folder folders[] = {
        {config::kQuarantineDirectory, dirs->quarantine, false,
         "quarantine copies fail and their messages go to bad mail"},
        {config::kBadMailDirectory, dirs->badMail, true,
         "a message whose quarantine copy or rewrite fails stays queued and goes on"},
        {config::kMailRoot, dirs->mailRoot, false, "COPY and MOVE file nothing"},
        {config::kActivityLogDirectory, dirs->activityLog, fileLogging,
         "the report log is not written"},
    };
    std::vector<filters::ConfigProblem> problems;
    for (const Folder& folder : folders) {
        if (folder.name == config::kActivityLogDirectory && !fileLogging) continue;
        std::string fault = FolderFault(folder);
        if (!fault.empty())
            problems.push_back({registryPath, 0, fault + ": " + std::string(folder.use)});
    }
    return problems;
}

}  // namespace kz::tool
