#pragma once
// The folders and settings of one installation that the console works on, read once from
// its registry file. A copy is immutable, so concurrent requests may share one.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kz::console {

struct Installation {
    std::string registryPath;
    std::string quarantine;       // Quarantine Directory
    std::string connectorRoot;    // Connector Root Directory
    std::string logDirectory;     // Activity Log Directory
    std::string configuration;    // Configuration Directory (FILTER.TAB)
    uint32_t quarantineDays = 0;  // "Quarantine Days": purge's default age; 0 keeps for ever
    bool reportLogOn = false;     // "Activity Log Enabled" is 1: the agent writes report files
};

// Throws ConsoleError(Unavailable) when the registry file cannot be read.
Installation ReadInstallation(const std::string& registryPath);

// The filters of FILTER.TAB in table order, disabled lines included.
struct TableFilter {
    std::string name;
    std::string description;
    bool enabled = false;
    bool audited = false;  // named in "Audit Filters"
};
std::vector<TableFilter> ReadTableFilters(const Installation& installation);

// The provider counters of the registry, as the agent last wrote them.
struct ProviderCounter {
    std::string provider;  // "bayesian", "spamassassin", "antivirus", "dkim"
    uint32_t scans = 0;
    uint32_t detections = 0;
};
std::vector<ProviderCounter> ReadProviderCounters(const Installation& installation);

// Runs `read` with the installation's registry file installed as the agent's code reads
// it (config/registry_access.h), one caller at a time.
void WithRegistry(const Installation& installation, const std::function<void()>& read);

// The account the command line runs under: "who ran it" in the report log.
std::string CurrentUserName();

}  // namespace kz::console
