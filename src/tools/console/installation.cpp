#include "installation.h"

#include <mutex>

#include "base/ascii.h"
#include "base/installed.h"
#include "config/registry_access.h"
#include "config/registry_keys.h"
#include "console_error.h"
#include "filters/config_fields.h"
#include "filters/config_lines.h"
#include "filters/criteria_files.h"
#include "filters/filter_table.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace kz::console {

namespace {

std::string directory(const platform::Registry& registry, std::string_view key,
                      std::string_view name) {
    auto value = registry.query(key, name);
    return value ? platform::toNativeSeparators(value->asString()) : std::string();
}

}  // namespace

Installation ReadInstallation(const std::string& registryPath) {
    platform::Registry registry(registryPath);
    if (!registry.present())
        throw ConsoleError(ErrorKind::Unavailable, "no such file: " + registryPath);
    if (!registry.loadStatus().ok())
        throw ConsoleError(ErrorKind::Unavailable, "cannot read the registry file " + registryPath +
                                                       ": " + registry.loadStatus().message);
    Installation found;
    found.registryPath = registryPath;
    found.quarantine = directory(registry, config::kProductKey, config::kQuarantineDirectory);
    found.connectorRoot =
        directory(registry, config::kConnectorsKey, config::kConnectorRootDirectory);
    found.logDirectory = directory(registry, config::kAgentKey, config::kActivityLogDirectory);
    found.configuration = directory(registry, config::kProductKey, config::kConfigurationDirectory);
    if (auto days = registry.query(config::kAgentKey, config::kQuarantineDays))
        found.quarantineDays = days->asDword().value_or(0);
    if (auto enabled = registry.query(config::kAgentKey, config::kActivityLogEnabled))
        found.reportLogOn = enabled->asDword() == 1u;
    return found;
}

void WithRegistry(const Installation& installation, const std::function<void()>& read) {
    static std::mutex installing;
    std::lock_guard hold(installing);
    platform::Registry registry(installation.registryPath);
    Installed<platform::Registry> reading(registry);
    read();
}

std::vector<TableFilter> ReadTableFilters(const Installation& installation) {
    std::vector<TableFilter> filters;
    if (installation.configuration.empty()) return filters;
    std::vector<std::string> audited;
    WithRegistry(installation, [&] {
        audited = config::RegReadMultiString(config::kAgentKey, config::kAuditFilters);
    });
    filters::FilterTable where;  // names the folder only
    where.configurationDirectory = installation.configuration;
    auto lines = filters::ReadConfigLines(filters::FilterTabPath(where));
    for (const std::string& raw : lines.value_or(std::vector<std::string>())) {
        std::string_view line = filters::CutAtLineFeed(raw);
        if (line.empty()) continue;
        TableFilter filter;
        filter.name = filters::TabField(line, 1, TextLimit{64}).value_or("");
        filter.description = filters::TabField(line, 5, TextLimit{256}).value_or("");
        auto enabled = filters::TabField(line, 2, TextLimit{64});
        filter.enabled = enabled && filters::AtoiText(*enabled) != 0;
        for (const std::string& name : audited)
            filter.audited |= equalsIgnoreCase(name, filter.description);
        filters.push_back(std::move(filter));
    }
    return filters;
}

std::vector<ProviderCounter> ReadProviderCounters(const Installation& installation) {
    struct Names {
        const char* provider;
        std::string_view scans, detections;
    };
    static constexpr Names kNames[] = {
        {"bayesian", config::kBayesianTotalScans, config::kBayesianDetections},
        {"spamassassin", config::kSaTotalScans, config::kSaDetections},
        {"antivirus", config::kAntivirusTotalScans, config::kAntivirusDetected},
        {"dkim", config::kDkimScans, config::kDkimDetections},
    };
    platform::Registry registry(installation.registryPath);
    auto dword = [&](std::string_view name) {
        auto value = registry.query(config::kCountersKey, name);
        return value ? value->asDword().value_or(0) : 0u;
    };
    std::vector<ProviderCounter> counters;
    for (const Names& names : kNames)
        counters.push_back({names.provider, dword(names.scans), dword(names.detections)});
    return counters;
}

std::string CurrentUserName() {
    for (const char* variable : {"SUDO_USER", "USER", "LOGNAME", "USERNAME"})
        if (auto name = platform::getEnvironment(variable); name && !name->empty()) return *name;
    return "unknown";
}

}  // namespace kz::console
