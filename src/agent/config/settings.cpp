#include "config/settings.h"

#include <atomic>

#include "config/registry_access.h"
#include "config/registry_keys.h"

namespace kz::config {

namespace {

constexpr uint32_t kNotRead = 0xFFFFFFFFu;
constexpr uint32_t kNotReadAlternate = 200000;

// Function-local so that attach, which may run from a library constructor, never sees
// it before its initialisation.
AttachSettings& attachSettings() {
    static AttachSettings instance;
    return instance;
}

constinit std::atomic<uint32_t> gBayesianStatus{0};

// A value read on first use. The sentinel marks it unread, and a separate flag keeps a
// registry value equal to the sentinel from being read again and again. Two threads
// racing on the first read both store the same value.
class FirstUse {
  public:
    constexpr FirstUse(std::string_view key, std::string_view name, uint32_t fallback,
                       uint32_t sentinel = kNotRead)
        : key_(key), name_(name), fallback_(fallback), sentinel_(sentinel), value_(sentinel) {}

    uint32_t get() {
        if (read_.load(std::memory_order_acquire)) return value_.load(std::memory_order_relaxed);
        uint32_t value = RegDwordOr(key_, name_, fallback_);
        value_.store(value, std::memory_order_relaxed);
        read_.store(true, std::memory_order_release);
        return value;
    }

    void reset() {
        read_.store(false, std::memory_order_release);
        value_.store(sentinel_, std::memory_order_relaxed);
    }

  private:
    std::string_view key_;
    std::string_view name_;
    uint32_t fallback_;
    uint32_t sentinel_;
    std::atomic<uint32_t> value_;
    std::atomic<bool> read_{false};
};

constinit FirstUse gFilterMime(kProductKey, kFilterMime, 0);
constinit FirstUse gCaseSensitivity(kAgentKey, kCaseSensitivity, 0);
constinit FirstUse gPerformSblRbl(kAgentKey, kPerformSblRbl, 0, kNotReadAlternate);
constinit FirstUse gSpfHeaderCheck(kAgentKey, kSpfHeaderCheck, 0, kNotReadAlternate);
constinit FirstUse gDebugDkim(kProductKey, kDebugDkim, 0);
constinit FirstUse gAvBypassAuthenticated(kAgentKey, kAvBypassAuthenticated, 0);
constinit FirstUse gUseBufferAppendMode(kProductKey, kUseBufferAppendMode, 1);

std::string readString(std::string_view key, std::string_view name, std::size_t size) {
    std::string value;
    RegReadString(key, name, value, size);
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
    dword(kSfKey, kIndexingEnabled, read.IndexingEnabled);
    dword(kAgentKey, kDebugLoggingLevel, read.DebugLoggingLevel);
    dword(kProductKey, kUpdateStatistics, read.UpdateStatistics);
    dword(kAgentKey, kDebugStatus, read.DebugStatus);
    dword(kAgentKey, kScriptLiteralMode, read.ScriptLiteralMode);
    dword(kAgentKey, kUriSblMaxChecks, read.UriSblMaxChecks);
    dword(kAgentKey, kAllowPatternCaching, read.AllowPatternCaching);
    dword(kAgentKey, kBayesianFilteringStatus, read.BayesianFilteringStatus);
    dword(kAgentKey, kBayesianFilteringLoadMode, read.BayesianFilteringLoadMode);
    dword(kAgentKey, kSpamAssassinEnabled, read.SpamAssassinEnabled);
    dword(kAgentKey, kSpamAssassinBypassAuthenticated, read.SpamAssassinBypassAuthenticated);
    dword(kSmtpKey, kDomainKeysStatus, read.DomainKeysStatus);
    dword(kAgentKey, kAntivirusStatus, read.AntivirusStatus);
    dword(kAgentKey, kFlushQueueFolders, read.FlushQueueFolders);
    read.LocalDomainName =
        readString(kSmtpKey, kLocalDomainName, AttachSettings::kLocalDomainNameSize);
    read.LocalDnsServerList =
        readString(kSmtpKey, kLocalDnsServerList, AttachSettings::kLocalDnsServerListSize);
    gBayesianStatus.store(read.BayesianFilteringStatus);
    attachSettings() = std::move(read);
}

const AttachSettings& Settings() {
    return attachSettings();
}

uint32_t BayesianStatus() {
    return gBayesianStatus.load();
}
void SetBayesianStatus(uint32_t status) {
    gBayesianStatus.store(status);
}

uint32_t FilterMime() {
    return gFilterMime.get();
}
uint32_t CaseSensitivity() {
    return gCaseSensitivity.get();
}
uint32_t PerformSblRbl() {
    return gPerformSblRbl.get();
}
uint32_t SpfHeaderCheck() {
    return gSpfHeaderCheck.get();
}
uint32_t DebugDkim() {
    return gDebugDkim.get();
}
uint32_t AvBypassAuthenticated() {
    return gAvBypassAuthenticated.get();
}
uint32_t UseBufferAppendMode() {
    return gUseBufferAppendMode.get();
}

void ResetFirstUseSettingsForTest() {
    for (FirstUse* setting : {&gFilterMime, &gCaseSensitivity, &gPerformSblRbl, &gSpfHeaderCheck,
                              &gDebugDkim, &gAvBypassAuthenticated, &gUseBufferAppendMode})
        setting->reset();
}

uint32_t ActivityLogEnabled() {
    return RegDwordOr(kAgentKey, kActivityLogEnabled, 0);
}
uint32_t ReloadValue() {
    return RegDwordOr(kAgentKey, kReload, 0);
}
bool ReloadRequested() {
    return ReloadValue() == 1;
}
int ClearReload() {
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
    return readString(kSmtpKey, kBadMailNotificationSenderAddress, kSenderAddressSize);
}

std::string ForwardSenderAddress() {
    std::string sender = readString(kAgentKey, kForwardSenderAddress, kSenderAddressSize);
    return sender.empty() ? BadMailNotificationSenderAddress() : sender;
}

std::string ProcessingOrder() {
    return readString(kFiltersKey, kProcessingOrder, kProcessingOrderSize);
}

bool AgentEnabled(std::string_view agent) {
    return RegDwordOr(agentKey(agent), kAgentStatus, 0) == 1;
}

bool AgentPluginEnabled(std::string_view agent) {
    return RegDwordOr(agentKey(agent), kAgentPluginEnabled, 0) == 1;
}

int AgentPluginProvider(std::string_view agent, std::string& fileName) {
    return RegReadString(agentKey(agent), kAgentPluginProvider, fileName, kPluginProviderSize);
}

}  // namespace kz::config
