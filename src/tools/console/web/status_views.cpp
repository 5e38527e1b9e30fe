// The Filters and Health pages' data: the filter table as check-config loads it, with each
// filter's recent hits from the report log, and what the agent depends on.

#include <algorithm>
#include <chrono>
#include <map>

#include "check_config.h"
#include "config/registry_keys.h"
#include "installation.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/stream_socket.h"
#include "registry_facts.h"
#include "report_search.h"
#include "views.h"

namespace kz::tool::web {

std::mutex& AgentStateLock() {
    static std::mutex lock;
    return lock;
}

std::string LogDirectory(const std::string& registry) {
    return ActivityLogDirectory(registry);
}

namespace {

// The report log's files from the newest back, at most `days` of them.
std::vector<std::string> newestReportFiles(const std::string& directory, std::size_t days) {
    std::vector<std::pair<int, std::string>> files;
    if (!directory.empty())
        for (const std::string& name : platform::listDirectory(directory))
            if (auto day = ReportFileDay(name)) files.emplace_back(*day, name);
    std::sort(files.begin(), files.end(), std::greater<>());
    if (files.size() > days) files.resize(days);
    std::vector<std::string> paths;
    for (const auto& file : files) paths.push_back(platform::joinPath(directory, file.second));
    return paths;
}

struct FilterActivity {
    int64_t hits = 0;
    std::string lastHit;
};

// Hits and the last hit of each filter description over the last 30 daily files.
std::map<std::string, FilterActivity> recentActivity(const std::string& directory) {
    std::map<std::string, FilterActivity> activity;
    for (const std::string& path : newestReportFiles(directory, 30)) {
        auto text = platform::readFile(path);
        if (!text) continue;
        // Within a file later lines come later; files come newest first, so a filter's
        // last hit is its last line in the first file that has one.
        std::map<std::string, std::string> lastInFile;
        std::size_t at = 0;
        while (at < text->size()) {
            std::size_t end = std::min(text->find('\n', at), text->size());
            auto line = ParseReportLine(std::string_view(*text).substr(at, end - at));
            at = end + 1;
            if (!line || (line->action != "Executed" && !line->action.starts_with("AUDIT")))
                continue;
            ++activity[line->filter].hits;
            lastInFile[line->filter] = line->time;
        }
        for (auto& [filter, time] : lastInFile)
            if (activity[filter].lastHit.empty()) activity[filter].lastHit = time;
    }
    return activity;
}

}  // namespace

ViewAnswer FiltersView(const std::string& registry) {
    ConfigCheck check;
    std::vector<console::TableFilter> table;
    try {
        std::lock_guard lock(AgentStateLock());
        check = CheckConfiguration(registry, false);
        table = console::ReadTableFilters(console::ReadInstallation(registry));
    } catch (const std::exception& error) {
        return Failed(503, error.what());
    }
    auto activity = recentActivity(LogDirectory(registry));
    nlohmann::json filters = nlohmann::json::array();
    int position = 0;
    for (const console::TableFilter& filter : table) {
        const FilterActivity& seen = activity[filter.description];
        filters.push_back({{"position", ++position},
                           {"name", filter.name},
                           {"description", filter.description},
                           {"enabled", filter.enabled},
                           {"audited", filter.audited},
                           {"hits", seen.hits},
                           {"lastHit", seen.lastHit}});
    }
    nlohmann::json problems = nlohmann::json::array();
    for (const filters::ConfigProblem& problem : check.problems)
        problems.push_back(
            {{"file", problem.file}, {"line", problem.line}, {"message", problem.message}});
    return {200,
            JsonText({{"configuration", check.configuration},
                      {"filters", std::move(filters)},
                      {"problems", std::move(problems)}}),
            {}};
}

namespace {

std::string providerText(const platform::Registry& registry, std::string_view provider,
                         std::string_view name, std::string fallback) {
    auto value =
        registry.query(std::string(config::kAgentKey) + "\\" + std::string(provider), name);
    return value && !value->asString().empty() ? value->asString() : fallback;
}

bool enabled(const platform::Registry& registry, std::string_view name) {
    auto value = registry.query(config::kAgentKey, name);
    auto flag = value ? value->asDword() : std::nullopt;
    return flag && *flag != 0;
}

nlohmann::json daemonProvider(const std::string& name, bool on, const std::string& server,
                              uint16_t port) {
    nlohmann::json out = {{"name", name}, {"enabled", on}, {"server", server}};
    if (!on) return out;
    std::string why;
    auto connection =
        platform::StreamConnection::connect(server, port, std::chrono::milliseconds(1000), why);
    out["reachable"] = connection != nullptr;
    if (!connection) out["problem"] = why;
    return out;
}

// Messages waiting in each connector's Inbound folder (their command files).
nlohmann::json queueBacklog(const std::string& root) {
    nlohmann::json connectors = nlohmann::json::array();
    if (root.empty()) return connectors;
    for (const std::string& connector : platform::listDirectory(root)) {
        const std::string inbound =
            platform::joinPath(platform::joinPath(root, connector), "Inbound");
        std::size_t waiting = 0;
        for (const std::string& name : platform::listDirectory(inbound))
            if (!name.starts_with(".") && !name.starts_with("_")) ++waiting;
        connectors.push_back({{"connector", connector}, {"waiting", waiting}});
    }
    return connectors;
}

std::string lastReportLine(const std::string& directory) {
    for (const std::string& path : newestReportFiles(directory, 7)) {
        auto text = platform::readFile(path);
        if (!text) continue;
        std::string last;
        std::size_t at = 0;
        while (at < text->size()) {
            std::size_t end = std::min(text->find('\n', at), text->size());
            if (auto line = ParseReportLine(std::string_view(*text).substr(at, end - at)))
                last = line->time;
            at = end + 1;
        }
        if (!last.empty()) return last;
    }
    return {};
}

}  // namespace

ViewAnswer HealthView(const std::string& registryPath) {
    platform::Registry registry(registryPath);
    if (!registry.loadStatus().ok())
        return Failed(500, "cannot read the registry file " + registryPath);
    nlohmann::json providers = nlohmann::json::array();
    providers.push_back(
        {{"name", "Bayesian"}, {"enabled", enabled(registry, config::kBayesianFilteringStatus)}});
    providers.push_back(
        daemonProvider("SpamAssassin", enabled(registry, config::kSpamAssassinEnabled),
                       providerText(registry, "SpamAssassin", "Server", "127.0.0.1:783"), 783));
    providers.push_back(
        daemonProvider("Antivirus", enabled(registry, config::kAntivirusStatus),
                       providerText(registry, "Antivirus", "Server", "127.0.0.1:3310"), 3310));
    return {200,
            JsonText({{"registry", registryPath},
                      {"providers", std::move(providers)},
                      {"queues", queueBacklog(ConnectorRootDirectory(registryPath))},
                      {"lastReportLine", lastReportLine(LogDirectory(registryPath))}}),
            {}};
}

}  // namespace kz::tool::web
