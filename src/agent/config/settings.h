#pragma once
// The agent's registry settings, each held one of three ways: read once at attach,
// read on first use and kept for the life of the process, or read on every use so that
// a change takes effect at once. Every value that cannot be read takes its default.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_limit.h"
#include "config/first_use.h"
#include "config/registry_keys.h"

namespace kz::config {

// Read once at attach, before any run starts; read-only afterwards, so any thread may
// read it without a lock.
struct AttachSettings {
    static constexpr TextLimit kLocalDomainNameLimit{1024};
    static constexpr TextLimit kLocalDnsServerListLimit{2048};

    uint32_t indexingEnabled = 0;  // kept for the mail store; nothing here depends on it
    uint32_t debugLoggingLevel = 5;
    uint32_t updateStatistics = 0;  // non-zero: keep and write the counters
    uint32_t debugStatus = 0;       // script host trace: 1 debug log, 2 standard output
    uint32_t scriptLiteralMode = 1;
    uint32_t uriSblMaxChecks = 0;
    uint32_t allowPatternCaching = 0;
    uint32_t bayesianFilteringStatus = 0;
    uint32_t bayesianFilteringLoadMode = 0;
    uint32_t spamAssassinEnabled = 0;              // on only when 1
    uint32_t spamAssassinBypassAuthenticated = 0;  // on only when 1
    uint32_t domainKeysStatus = 0;
    uint32_t antivirusStatus = 0;
    uint32_t flushQueueFolders = 1;  // 0: published queue files' folders are not flushed
    std::string localDomainName;
    std::string localDnsServerList;

    bool spamAssassinOn() const { return spamAssassinEnabled == 1; }
    bool spamAssassinBypassesAuthenticated() const { return spamAssassinBypassAuthenticated == 1; }
};

// The settings of one attached process: the attach values, the Bayesian provider's
// status and the first-use values. Its owner installs it (Installed<ProcessSettings>)
// for its lifetime; the functions below read the installed one, and without one every
// value is its default and nothing is kept.
struct ProcessSettings {
    AttachSettings attach;
    std::atomic<uint32_t> bayesianStatus{0};

    FirstUse filterMime{kProductKey, kFilterMime, 0};
    FirstUse caseSensitivity{kAgentKey, kCaseSensitivity, 0};
    FirstUse performSblRbl{kAgentKey, kPerformSblRbl, 0, kNotReadAlternate};
    FirstUse spfHeaderCheck{kAgentKey, kSpfHeaderCheck, 0, kNotReadAlternate};
    FirstUse debugDkim{kProductKey, kDebugDkim, 0};
    FirstUse avBypassAuthenticated{kAgentKey, kAvBypassAuthenticated, 0};
    FirstUse useBufferAppendMode{kProductKey, kUseBufferAppendMode, 1};
};

// Reads the attach values into the installed settings.
void ReadAttachSettings();
const AttachSettings& Settings();

// The Bayesian provider's status: the attach value of "Bayesian Filtering Status",
// which loading the provider overwrites with 1 (usable) or 3 (failed).
uint32_t BayesianStatus();
void SetBayesianStatus(uint32_t status);

// First use: read once, then kept. Safe when several threads race on the first read.
uint32_t FilterMime();             // non-zero: MIME-aware scan
uint32_t CaseSensitivity();        // 1: case-sensitive matching
uint32_t PerformSblRbl();          // non-zero: look links up in URL blacklists
uint32_t SpfHeaderCheck();         // how the scan treats "Received-SPF"
uint32_t DebugDkim();              // what a failed DKIM verification adds
uint32_t AvBypassAuthenticated();  // 1: skip antivirus for authenticated senders
uint32_t UseBufferAppendMode();    // 1: text replacement builds a new string

// Every use: read from the registry on each call.
uint32_t ActivityLogEnabled();  // 1 file, 2 standard output, 3 debugger, other none
uint32_t ReportLogDays();       // report files kept this many days after theirs; 0 all
uint32_t ReloadValue();
bool ReloadRequested();  // "Reload" is 1
bool ClearReload();      // writes "Reload" = 0; false when the write failed
bool PublicFoldersEnabled();
uint32_t PublicFoldersModificationPermitted();  // 0 refuses, 1 permits, 2 defers; absent 0
uint32_t WhitelistOutboundIPAddresses();
uint32_t WhitelistOutboundIPAddressMode();
constexpr TextLimit kSenderAddressLimit{1024};
std::string BadMailNotificationSenderAddress();  // at most 1023 characters, empty when absent
// "Forward Sender Address", or the bad-mail notification sender when absent or empty.
std::string ForwardSenderAddress();

// Read at each load of the filter table: the descriptions of the filters that are only
// audited (evaluated and reported, their actions not run).
std::vector<std::string> AuditFilters();

// Read at each FilterInit.
constexpr TextLimit kProcessingOrderLimit{1024};
constexpr TextLimit kPluginProviderLimit{128};
std::string ProcessingOrder();
// Under the filter agent's own key below the filters key.
bool AgentEnabled(std::string_view agent);        // "Status" is 1
bool AgentPluginEnabled(std::string_view agent);  // "Antivirus Agent Plugin Enabled" is 1
// "Antivirus Agent Plugin Provider"; false when it cannot be read.
bool AgentPluginProvider(std::string_view agent, std::string& fileName);

}  // namespace kz::config
