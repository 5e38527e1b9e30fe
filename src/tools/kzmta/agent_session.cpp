#include "agent_session.h"

#include <filesystem>
#include <stdexcept>

#include "config/directories.h"
#include "config/settings.h"
#include "dns/dns_library.h"
#include "host/agent.h"
#include "platform/files.h"
#include "platform/guid.h"
#include "providers/scan_providers.h"

namespace kz::tool {

namespace {

namespace fs = std::filesystem;

std::string privateCopyOf(const std::string& registryPath) {
    std::optional<std::string> content = platform::readFile(registryPath);
    if (!content) throw std::runtime_error("cannot read the registry file " + registryPath);
    platform::Guid guid = platform::newGuid();
    std::string name = "kzmta-registry-";
    for (uint8_t byte : guid)
        name += "0123456789abcdef"[byte >> 4], name += "0123456789abcdef"[byte & 15];
    std::string copy = (fs::temp_directory_path() / (name + ".reg")).string();
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
    fs::remove(registryCopy_, ignored);
    fs::remove(registryCopy_ + ".lock", ignored);
}

void AgentSession::loadProviders() {
    providers::LoadScanProviders();
    if (config::Settings().antivirusStatus != 0) providers::LoadAntivirusProvider();
    providersLoaded_ = true;
}

const filters::FilterTable& AgentSession::loadTable() {
    filters::LoadOptions options;
    options.configurationDirectory = configurationDirectory();
    options.allowPatternCaching = config::Settings().allowPatternCaching != 0;
    filters::LoadFilterTable(table_, options);
    return table_;
}

std::string AgentSession::configurationDirectory() const {
    return config::CurrentDirectories()->configuration;
}

}  // namespace kz::tool
