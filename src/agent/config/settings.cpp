#include "config/settings.h"

#include "base/installed.h"
#include "config/registry_access.h"
#include "config/registry_keys.h"

namespace kz::config {

namespace {

ProcessSettings* installed() {
    return Installed<ProcessSettings>::current();
}

// What is read without installed settings: the defaults, and first-use values read
// again on every use.
const ProcessSettings& none() {
    static const ProcessSettings defaults;
    return defaults;
}

uint32_t firstUse(FirstUse ProcessSettings::*value) {
    ProcessSettings* settings = installed();
    return settings ? (settings->*value).get() : (none().*value).readNow();
}

std::string readString(std::string_view key, std::string_view name, TextLimit limit) {
    std::string value;
    RegReadString(key, name, value, limit);
    return value;
}

std::string agentKey(std::string_view agent) {
    std::string key(kFiltersKey);
    key.append("\\").append(agent);
    return key;
}

}  // namespace

void ReadAttachSettings() {
    AttachSettings read;
    auto dword = [](std::string_view key, std::string_view name, uint32_t& field) {
        field = RegDwordOr(key, name, field);
    };
    dword(kSfKey, kIndexingEnabled, read.indexingEnabled);
    dword(kAgentKey, kDebugLoggingLevel, read.debugLoggingLevel);
    dword(kProductKey, kUpdateStatistics, read.updateStatistics);
    dword(kAgentKey, kDebugStatus, read.debugStatus);
    dword(kAgentKey, kScriptLiteralMode, read.scriptLiteralMode);
    dword(kAgentKey, kUriSblMaxChecks, read.uriSblMaxChecks);
    dword(kAgentKey, kAllowPatternCaching, read.allowPatternCaching);
    dword(kAgentKey, kBayesianFilteringStatus, read.bayesianFilteringStatus);
    dword(kAgentKey, kBayesianFilteringLoadMode, read.bayesianFilteringLoadMode);
    dword(kAgentKey, kSpamAssassinEnabled, read.spamAssassinEnabled);
    dword(kAgentKey, kSpamAssassinBypassAuthenticated, read.spamAssassinBypassAuthenticated);
    dword(kSmtpKey, kDomainKeysStatus, read.domainKeysStatus);
    dword(kAgentKey, kAntivirusStatus, read.antivirusStatus);
    dword(kAgentKey, kFlushQueueFolders, read.flushQueueFolders);
    read.localDomainName =
        readString(kSmtpKey, kLocalDomainName, AttachSettings::kLocalDomainNameLimit);
    read.localDnsServerList =
        readString(kSmtpKey, kLocalDnsServerList, AttachSettings::kLocalDnsServerListLimit);
    ProcessSettings* settings = installed();
    if (!settings) return;
    settings->bayesianStatus.store(read.bayesianFilteringStatus);
    settings->attach = std::move(read);
}

const AttachSettings& Settings() {
    ProcessSettings* settings = installed();
    return settings ? settings->attach : none().attach;
}

uint32_t BayesianStatus() {
    ProcessSettings* settings = installed();
    return settings ? settings->bayesianStatus.load() : 0;
}
void SetBayesianStatus(uint32_t status) {
    if (ProcessSettings* settings = installed()) settings->bayesianStatus.store(status);
}

uint32_t FilterMime() {
    return firstUse(&ProcessSettings::filterMime);
}
uint32_t CaseSensitivity() {
    return firstUse(&ProcessSettings::caseSensitivity);
}
uint32_t PerformSblRbl() {
    return firstUse(&ProcessSettings::performSblRbl);
}
uint32_t SpfHeaderCheck() {
    return firstUse(&ProcessSettings::spfHeaderCheck);
}
uint32_t DebugDkim() {
    return firstUse(&ProcessSettings::debugDkim);
}
uint32_t AvBypassAuthenticated() {
    return firstUse(&ProcessSettings::avBypassAuthenticated);
}
uint32_t UseBufferAppendMode() {
    return firstUse(&ProcessSettings::useBufferAppendMode);
}

uint32_t ActivityLogEnabled() {
    return RegDwordOr(kAgentKey, kActivityLogEnabled, 0);
}
uint32_t ReportLogDays() {
    return RegDwordOr(kAgentKey, kReportLogDays, 0);
}
uint32_t ReloadValue() {
    return RegDwordOr(kAgentKey, kReload, 0);
}
bool ReloadRequested() {
    return ReloadValue() == 1;
}
bool ClearReload() {
    return RegWriteDword(kAgentKey, kReload, 0);
}

bool PublicFoldersEnabled() {
    return RegDwordOr(kProductKey, kPublicFoldersEnabled, 1) != 0;
}

uint32_t PublicFoldersModificationPermitted() {
    return RegDwordOr(kWebmailOptionsKey, kPublicFoldersModificationPermitted, 0);
}

uint32_t WhitelistOutboundIPAddresses() {
    return RegDwordOr(kSmtpKey, kWhitelistOutboundIPAddresses, 0);
}

uint32_t WhitelistOutboundIPAddressMode() {
    return RegDwordOr(kSmtpKey, kWhitelistOutboundIPAddressMode, 0);
}

std::string BadMailNotificationSenderAddress() {
    return readString(kSmtpKey, kBadMailNotificationSenderAddress, kSenderAddressLimit);
}

std::string ForwardSenderAddress() {
    std::string sender = readString(kAgentKey, kForwardSenderAddress, kSenderAddressLimit);
    return sender.empty() ? BadMailNotificationSenderAddress() : sender;
}

std::vector<std::string> AuditFilters() {
    return RegReadMultiString(kAgentKey, kAuditFilters);
}

std::string ProcessingOrder() {
    return readString(kFiltersKey, kProcessingOrder, kProcessingOrderLimit);
}

bool AgentEnabled(std::string_view agent) {
    return RegDwordOr(agentKey(agent), kAgentStatus, 0) == 1;
}

bool AgentPluginEnabled(std::string_view agent) {
    return RegDwordOr(agentKey(agent), kAgentPluginEnabled, 0) == 1;
}

bool AgentPluginProvider(std::string_view agent, std::string& fileName) {
    return RegReadString(agentKey(agent), kAgentPluginProvider, fileName, kPluginProviderLimit);
}

}  // namespace kz::config
