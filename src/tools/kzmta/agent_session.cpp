#include "agent_session.h"

#include <filesystem>
#include <stdexcept>

#include "config/directories.h"
#include "config/registry_access.h"
#include "config/registry_keys.h"
#include "config/settings.h"
#include "dns/dns_library.h"
#include "host/agent.h"
#include "platform/files.h"
#include "platform/guid.h"
#include "platform/utf8_path.h"
#include "providers/scan_providers.h"

namespace kz::tool {

namespace {

namespace fs = std::filesystem;

std::string uniqueTempName(const std::string& prefix) {
    platform::Guid guid = platform::newGuid();
    std::string name = prefix;
    for (uint8_t byte : guid)
        name += "0123456789abcdef"[byte >> 4], name += "0123456789abcdef"[byte & 15];
    return platform::utf8FromPath(fs::temp_directory_path() / name);
}

std::string privateCopyOf(const std::string& registryPath) {
    std::optional<std::string> content = platform::readFile(registryPath);
    if (!content) throw std::runtime_error("cannot read the registry file " + registryPath);
    std::string copy = uniqueTempName("kzmta-registry-") + ".reg";
    if (!platform::writeFileAtomic(copy, *content)) {
        throw std::runtime_error("cannot write a working copy of the registry at " + copy);
    }
    return copy;
}

}  // namespace

AgentSession::AgentSession(const std::string& registryPath)
    : registryCopy_(privateCopyOf(registryPath)),
      agent_(std::make_unique<host::Agent>(registryCopy_)) {
    config::ReadAttachSettings();
    dns::StartDnsLibrary();
    config::ReadAttachDirectories();
    loopSeal_ = LoadLoopSeal();
    InstallLoopSeal(loopSeal_ ? &*loopSeal_ : nullptr);
}

AgentSession::~AgentSession() {
    InstallLoopSeal(nullptr);
    filters::ReleaseFilterTable(table_);
    if (providersLoaded_) providers::ReleaseScanProviders();
    agent_.reset();
    std::error_code ignored;
    if (!privateQueueRoot_.empty())
        fs::remove_all(platform::pathFromUtf8(privateQueueRoot_), ignored);
    fs::remove(platform::pathFromUtf8(registryCopy_), ignored);
    fs::remove(platform::pathFromUtf8(registryCopy_ + ".lock"), ignored);
}

void AgentSession::loadProviders() {
    providers::LoadScanProviders();
    if (config::Settings().antivirusStatus != 0) providers::LoadAntivirusProvider();
    providersLoaded_ = true;
}

const filters::FilterTable& AgentSession::loadTable() {
    filters::LoadFilterTable(table_, filters::SettingsLoadOptions(configurationDirectory()));
    return table_;
}

const std::string& AgentSession::privateQueueRoot() {
    if (!privateQueueRoot_.empty()) return privateQueueRoot_;
    std::string root = uniqueTempName("kzmta-queue-");
    std::error_code error;
    fs::create_directories(platform::pathFromUtf8(root), error);
    if (error || !config::machineRegistry()
                      .setString(config::kConnectorsKey, config::kConnectorRootDirectory, root)
                      .ok())
        throw std::runtime_error("cannot make a private queue at " + root);
    privateQueueRoot_ = root;
    config::ReadAttachDirectories();
    return privateQueueRoot_;
}

std::string AgentSession::configurationDirectory() const {
    return config::CurrentDirectories()->configuration;
}

}  // namespace kz::tool
