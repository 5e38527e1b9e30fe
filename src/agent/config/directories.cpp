#include "config/directories.h"

#include <string_view>
#include <utility>

#include "base/installed.h"
#include "config/registry_access.h"
#include "config/registry_keys.h"
#include "platform/files.h"

namespace kz::config {

namespace {

PublishedDirectories* installed() {
    return Installed<PublishedDirectories>::current();
}

// Administrators may copy Windows-style paths; only the separators change.
std::string readDirectory(std::string_view key, std::string_view name,
                          TextLimit limit = Directories::kDirectoryLimit) {
    std::string value;
    RegReadString(key, name, value, limit);
    return platform::toNativeSeparators(value);
}

// Applies `change` to a copy of the current snapshot and publishes it when it differs,
// so the per-run reread allocates only when the registry changed.
template <typename Change>
void publish(Change&& change) {
    PublishedDirectories* state = installed();
    if (!state) return;
    std::lock_guard lock(state->mutex);
    auto next = std::make_shared<Directories>(*state->current);
    change(*next);
    if (*next != *state->current) state->current = std::move(next);
}

}  // namespace

std::shared_ptr<const Directories> CurrentDirectories() {
    static const std::shared_ptr<const Directories> none = std::make_shared<const Directories>();
    PublishedDirectories* state = installed();
    if (!state) return none;
    std::lock_guard lock(state->mutex);
    return state->current;
}

void ReadAttachDirectories() {
    Directories read;
    read.activityLog =
        readDirectory(kAgentKey, kActivityLogDirectory, Directories::kActivityLogDirectoryLimit);
    read.mailRoot = readDirectory(kProductKey, kMailRoot);
    read.connectorRoot = readDirectory(kConnectorsKey, kConnectorRootDirectory);
    read.configuration = readDirectory(kProductKey, kConfigurationDirectory);
    read.whitelistConfiguration = read.configuration;
    read.badMail = readDirectory(kProductKey, kBadMailDirectory);
    read.quarantine = readDirectory(kProductKey, kQuarantineDirectory);
    read.application = readDirectory(kProductKey, kApplicationDirectory);
    publish([&](Directories& dirs) { dirs = std::move(read); });
}

void ReadRunDirectories() {
    // Registry reads happen outside the lock; only the merge is serialised.
    std::string connectorRoot = readDirectory(kConnectorsKey, kConnectorRootDirectory);
    std::string configuration = readDirectory(kProductKey, kConfigurationDirectory);
    std::string badMail = readDirectory(kProductKey, kBadMailDirectory);
    std::string quarantine = readDirectory(kProductKey, kQuarantineDirectory);
    publish([&](Directories& dirs) {
        dirs.connectorRoot = std::move(connectorRoot);
        dirs.configuration = std::move(configuration);
        dirs.badMail = std::move(badMail);
        dirs.quarantine = std::move(quarantine);
    });
}

std::string ReadApplicationDirectory() {
    return readDirectory(kProductKey, kApplicationDirectory);
}

std::string MailRootDirectory() {
    std::string mailRoot = CurrentDirectories()->mailRoot;
    if (!mailRoot.empty()) return mailRoot;
    mailRoot = readDirectory(kProductKey, kMailRoot);
    if (!mailRoot.empty()) {
        publish([&](Directories& dirs) {
            if (dirs.mailRoot.empty()) dirs.mailRoot = mailRoot;
        });
    }
    return mailRoot;
}

}  // namespace kz::config
