// The Filters and Health pages' data: the filter table as check-config loads it, with each
// filter's hits and last hit from the statistics index, and what the agent depends on.

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "check_config.h"
#include "installation.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/utf8_path.h"
#include "registry_facts.h"
#include "report_search.h"
#include "stats.h"
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

}  // namespace

ViewAnswer FiltersView(const std::string& registry) {
    ConfigCheck check;
    std::vector<console::TableFilter> table;
    console::StatsResult stats;
    try {
        {
            std::lock_guard lock(AgentStateLock());
            check = CheckConfiguration(registry, false);
        }
        const console::Installation installation = console::ReadInstallation(registry);
        table = console::ReadTableFilters(installation);
        // Hits over every day the index has counted, which outlives the logs themselves.
        stats = console::QueryStats(installation, {});
    } catch (const std::exception& error) {
        return Failed(503, error.what());
    }
    // Stats list the table in order first: one row per table line.
    nlohmann::json filters = nlohmann::json::array();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const console::TableFilter& filter = table[i];
        const console::FilterHits* seen = i < stats.filters.size() ? &stats.filters[i] : nullptr;
        filters.push_back({{"position", i + 1},
                           {"name", filter.name},
                           {"description", filter.description},
                           {"enabled", filter.enabled},
                           {"audited", filter.audited},
                           {"hits", seen ? seen->hits : 0},
                           {"lastHit", seen ? seen->lastHit : std::string()}});
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

// Messages waiting in each connector's Inbound folder (their command files).
nlohmann::json queueBacklog(const std::string& root) {
    nlohmann::json connectors = nlohmann::json::array();
    if (root.empty()) return connectors;
    for (const std::string& connector : platform::listDirectory(root)) {
        const std::string inbound =
            platform::joinPath(platform::joinPath(root, connector), "Inbound");
        std::size_t waiting = 0;
        // The message files wait in the Messages folder beside them.
        for (const std::string& name : platform::listDirectory(inbound))
            if (!name.starts_with(".") && !name.starts_with("_") &&
                !platform::isDirectory(platform::joinPath(inbound, name)))
                ++waiting;
        connectors.push_back({{"connector", connector}, {"waiting", waiting}});
    }
    return connectors;
}

// A busy day's file is large: only its end is read.
constexpr std::size_t kTailSize = 256 * 1024;

// The last message a filter acted on: the last "Executed" line of the newest files that
// have one, read from their ends; null when none has.
nlohmann::json lastFiltered(const std::string& directory) {
    for (const std::string& path : newestReportFiles(directory, 7)) {
        std::ifstream in(platform::pathFromUtf8(path), std::ios::binary | std::ios::ate);
        const std::streamoff size = in ? std::streamoff(in.tellg()) : 0;
        if (size <= 0) continue;
        const std::streamoff from = std::max<std::streamoff>(0, size - std::streamoff(kTailSize));
        std::string tail(std::size_t(size - from), '\0');
        in.seekg(from);
        in.read(tail.data(), std::streamsize(tail.size()));
        tail.resize(std::size_t(in.gcount()));
        // A tail that starts inside a line starts at the next one.
        std::size_t at = from == 0 ? 0 : std::min(tail.find('\n'), tail.size() - 1) + 1;
        std::optional<ReportLine> last;
        while (at < tail.size()) {
            std::size_t end = std::min(tail.find('\n', at), tail.size());
            auto line = ParseReportLine(std::string_view(tail).substr(at, end - at));
            if (line && line->action == "Executed") last = line;
            at = end + 1;
        }
        if (last)
            return {{"time", last->time},
                    {"messageId", last->messageId},
                    {"connector", last->connector},
                    {"filter", last->filter}};
    }
    return nullptr;
}

}  // namespace

ViewAnswer HealthView(const std::string& registryPath) {
    platform::Registry registry(registryPath);
    if (!registry.loadStatus().ok())
        return Failed(500, "cannot read the registry file " + registryPath);
    return {200,
            JsonText({{"registry", registryPath},
                      {"providers", ProviderHealth(registry)},
                      {"queues", queueBacklog(ConnectorRootDirectory(registryPath))},
                      {"lastFiltered", lastFiltered(LogDirectory(registryPath))}}),
            {}};
}

}  // namespace kz::tool::web
