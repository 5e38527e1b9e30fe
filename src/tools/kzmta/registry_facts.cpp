#include "registry_facts.h"

#include "base/ascii.h"
#include "config/registry_keys.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace kz::tool {

namespace {

std::string DirectoryValue(const std::string& registryPath, std::string_view key,
                           std::string_view name) {
    platform::Registry registry(registryPath);
    auto value = registry.query(key, name);
    return value ? platform::toNativeSeparators(value->asString()) : std::string();
}

}  // namespace

std::string ConnectorRootDirectory(const std::string& registryPath) {
    return DirectoryValue(registryPath, config::kConnectorsKey, config::kConnectorRootDirectory);
}

std::string ActivityLogDirectory(const std::string& registryPath) {
    return DirectoryValue(registryPath, config::kAgentKey, config::kActivityLogDirectory);
}

SweepFolders LeftoverFolders(const std::string& registryPath) {
    SweepFolders folders;
    folders.connectorRoot = ConnectorRootDirectory(registryPath);
    folders.badMail = DirectoryValue(registryPath, config::kProductKey, config::kBadMailDirectory);
    folders.quarantine =
        DirectoryValue(registryPath, config::kProductKey, config::kQuarantineDirectory);
    folders.mailRoot = DirectoryValue(registryPath, config::kProductKey, config::kMailRoot);
    return folders;
}

bool FlushQueueFolders(const std::string& registryPath) {
    auto value =
        platform::Registry(registryPath).query(config::kAgentKey, config::kFlushQueueFolders);
    auto flag = value ? value->asDword() : std::nullopt;
    return !flag || *flag != 0;
}

std::size_t CountReportLines(const std::string& logDirectory) {
    std::size_t count = 0;
    if (logDirectory.empty()) return 0;
    for (const std::string& name : platform::listDirectory(logDirectory)) {
        if (!startsWithIgnoreCase(name, "MTAFILTER-Report-")) continue;
        auto text = platform::readTextFile(platform::joinPath(logDirectory, name));
        if (!text) continue;
        // A report line is the time stamp, a tab, then "Executed".
        std::size_t at = 0;
        while (at < text->size()) {
            std::size_t end = text->find('\n', at);
            std::string_view line(text->data() + at,
                                  (end == std::string::npos ? text->size() : end) - at);
            std::size_t tab = line.find('\t');
            if (tab != std::string_view::npos && line.substr(tab + 1).starts_with("Executed\t"))
                ++count;
            if (end == std::string::npos) break;
            at = end + 1;
        }
    }
    return count;
}

}  // namespace kz::tool
