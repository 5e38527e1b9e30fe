#pragma once
// Every registry key and value name the agent reads or writes. Key paths are relative
// to the local machine's root; key and value names compare without regard to case, so
// "CONNECTORS" and "Connectors" name the same key.

#include <string_view>

namespace kz::config {

// Inline, so both config::kAgentKey and config::reg::kAgentKey name a constant.
inline namespace reg {

// Keys.
constexpr std::string_view kProductKey = "SOFTWARE\\Kaztrel\\Kaztrel";
constexpr std::string_view kConnectorsKey = "SOFTWARE\\Kaztrel\\Kaztrel\\CONNECTORS";
constexpr std::string_view kSmtpKey = "SOFTWARE\\Kaztrel\\Kaztrel\\CONNECTORS\\SMTP";
constexpr std::string_view kSfKey = "SOFTWARE\\Kaztrel\\Kaztrel\\CONNECTORS\\SF";
constexpr std::string_view kFiltersKey = "SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters";
constexpr std::string_view kAgentKey =
    "SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER";
constexpr std::string_view kCountersKey =
    "SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER\\Counters";
constexpr std::string_view kProvidersKey = "SOFTWARE\\Kaztrel\\Kaztrel\\Providers";
constexpr std::string_view kWebmailOptionsKey =
    "SOFTWARE\\Kaztrel\\Kaztrel\\Services\\Webmail\\Options";
// The system whitelist: each value name is one address pattern.
constexpr std::string_view kWhiteListKey =
    "SOFTWARE\\Kaztrel\\Kaztrel\\Connectors\\SMTP\\White List";

// This agent's own name among the filter agents of the processing order.
constexpr std::string_view kAgentName = "MTAFILTER";

// Directories.
constexpr std::string_view kMailRoot = "Mail Root";                               // product
constexpr std::string_view kConnectorRootDirectory = "Connector Root Directory";  // connectors
constexpr std::string_view kConfigurationDirectory = "Configuration Directory";   // product
constexpr std::string_view kBadMailDirectory = "Bad Mail Directory";              // product
constexpr std::string_view kQuarantineDirectory = "Quarantine Directory";         // product
constexpr std::string_view kApplicationDirectory = "Application Directory";       // product
constexpr std::string_view kActivityLogDirectory = "Activity Log Directory";      // agent

// Run control.
constexpr std::string_view kReload = "Reload";                     // agent
constexpr std::string_view kProcessingOrder = "Processing Order";  // filters
// Under filters\<agent name>, for each agent of the processing order.
constexpr std::string_view kAgentStatus = "Status";
constexpr std::string_view kAgentPluginEnabled = "Antivirus Agent Plugin Enabled";
constexpr std::string_view kAgentPluginProvider = "Antivirus Agent Plugin Provider";

// Settings of the product key.
constexpr std::string_view kFilterMime = "Filter MIME";
constexpr std::string_view kUpdateStatistics = "Update Statistics";
constexpr std::string_view kDebugDkim = "Debug DKIM";
constexpr std::string_view kPublicFoldersEnabled = "Public Folders Enabled";
constexpr std::string_view kUseBufferAppendMode = "UseBufferAppendMode";

// Settings of the agent key.
constexpr std::string_view kActivityLogEnabled = "Activity Log Enabled";
// Days a daily report file is kept after its day; 0 keeps every file.
constexpr std::string_view kReportLogDays = "Report Log Days";
// Days a quarantined message is kept before kzmta quarantine purge removes it; 0 keeps it.
constexpr std::string_view kQuarantineDays = "Quarantine Days";
constexpr std::string_view kDebugLoggingLevel = "Debug Logging Level";
constexpr std::string_view kDebugStatus = "Debug Status";
constexpr std::string_view kScriptLiteralMode = "Script Literal Mode";
constexpr std::string_view kUriSblMaxChecks = "URI SBL Max Checks";
constexpr std::string_view kAllowPatternCaching = "Allow Pattern Caching";
constexpr std::string_view kAuditFilters = "Audit Filters";  // agent, multi-string
constexpr std::string_view kCaseSensitivity = "Case Sensitivity";
constexpr std::string_view kPerformSblRbl = "Perform SBLRBL";
constexpr std::string_view kSpfHeaderCheck = "SPF Header Check";
constexpr std::string_view kBayesianFilteringStatus = "Bayesian Filtering Status";
constexpr std::string_view kBayesianFilteringLoadMode = "Bayesian Filtering Load Mode";
constexpr std::string_view kSpamAssassinEnabled = "SpamAssassin Enabled";
constexpr std::string_view kSpamAssassinBypassAuthenticated = "SpamAssassin Bypass Authenticated";
constexpr std::string_view kAntivirusStatus = "Antivirus Status";
constexpr std::string_view kAvBypassAuthenticated = "AV Bypass Authenticated";
constexpr std::string_view kForwardSenderAddress = "Forward Sender Address";
constexpr std::string_view kFlushQueueFolders = "Flush Queue Folders";
// The secret that seals the agent's own queued messages (64 hexadecimal digits), created
// at the first attach. It is never written to a log. It lives in a key of its own that
// only administrators and the mail service's account may open; a value left under the
// agent's key by an older version is moved there.
constexpr std::string_view kLoopSealKey = "Loop Seal Key";
constexpr std::string_view kLoopSealKeyPath =
    "SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER\\Loop Seal";
// kzmta web: the console's login password as a salted PBKDF2 hash, never the password.
constexpr std::string_view kWebConsolePassword = "Web Console Password";
// Read by the SpamAssassin provider library, not by the agent.
constexpr std::string_view kSpamAssassinHost = "SpamAssassin Host";
constexpr std::string_view kSpamAssassinPort = "SpamAssassin Port";
constexpr std::string_view kSpamAssassinUseSsl = "SpamAssassin Use SSL";

// Settings of the SMTP connector key.
constexpr std::string_view kLocalDomainName = "Local Domain Name";
constexpr std::string_view kLocalDnsServerList = "Local DNS Server List";
constexpr std::string_view kDomainKeysStatus = "Domain Keys Status";
constexpr std::string_view kBadMailNotificationSenderAddress =
    "Bad Mail Notification Sender Address";
constexpr std::string_view kWhitelistOutboundIPAddressMode = "Whitelist Outbound IPAddress Mode";
constexpr std::string_view kWhitelistOutboundIPAddresses = "Whitelist Outbound IPAddresses";

// Settings of the SF connector key.
constexpr std::string_view kIndexingEnabled = "Indexing Enabled";

// Settings of the webmail options key.
constexpr std::string_view kPublicFoldersModificationPermitted =
    "Public Folders Modification Permitted";

// Counters, under the counters key.
constexpr std::string_view kServiceStart = "Service Start";
constexpr std::string_view kBayesianTotalScans = "Bayesian Total Scans";
constexpr std::string_view kBayesianDetections = "Bayesian Detections";
constexpr std::string_view kSaTotalScans = "SA Total Scans";
constexpr std::string_view kSaDetections = "SA Detections";
constexpr std::string_view kAntivirusTotalScans = "Antivirus Total Scans";
constexpr std::string_view kAntivirusDetected = "Antivirus Detected";
constexpr std::string_view kDkimScans = "DKIM Scans";
constexpr std::string_view kDkimDetections = "DKIM Detections";

}  // namespace reg
}  // namespace kz::config
