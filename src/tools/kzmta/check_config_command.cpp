// kzmta check-config: loads the filter table as the agent does and reports what an
// administrator wants to know before mail flows. Exit status 1 when it found a problem.

#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>

#include "agent_session.h"
#include "agent_trace.h"
#include "base/ascii.h"
#include "check_config.h"
#include "check_config_actions.h"
#include "check_config_folders.h"
#include "check_config_scripts.h"
#include "command_line.h"
#include "commands.h"
#include "config/settings.h"
#include "filters/table_diagnostics.h"

namespace kz::tool {

namespace {

std::string problemLine(const filters::ConfigProblem& problem) {
    std::string out = problem.file;
    if (problem.line > 0) out += ":" + std::to_string(problem.line);
    return out + ": " + problem.message + "\n";
}

// An entry of "Audit Filters" that names no filter audits nothing: the filter meant,
// usually a mistyped description, acts for real.
std::vector<filters::ConfigProblem> diagnoseAuditList(const std::string& registryPath,
                                                      const filters::FilterTable& table) {
    std::vector<filters::ConfigProblem> problems;
    for (const std::string& entry : config::AuditFilters()) {
        bool named = false;
        for (const filters::FilterDefinition& filter : table.filters)
            named = named || equalsIgnoreCase(entry, filter.description);
        if (!named)
            problems.push_back({registryPath, 0,
                                "\"Audit Filters\" names \"" + entry +
                                    "\", which no filter in FILTER.TAB describes: it audits "
                                    "nothing"});
    }
    return problems;
}

int checkConfig(const std::string& registryPath, bool verbose) {
    const ConfigCheck check = CheckConfiguration(registryPath, verbose);
    const auto& problems = check.problems;
    const std::string& configuration = check.configuration;
    const std::size_t filterCount = check.filters.size();
    std::string out;
    for (const filters::ConfigProblem& problem : problems) out += problemLine(problem);
    out += std::to_string(filterCount) + " filter(s) loaded from " + configuration + "; " +
           (problems.empty() ? std::string("no problem found")
                             : std::to_string(problems.size()) + " problem(s) found") +
           ".\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return problems.empty() ? 0 : 1;
}

}  // namespace

ConfigCheck CheckConfiguration(const std::string& registryPath, bool verbose) {
    RequireRegistryFile(registryPath);
    ConfigCheck check;
    auto& problems = check.problems;
    {
        AgentTraceDiversion quiet(verbose);
        AgentSession session(registryPath);
        check.configuration = session.configurationDirectory();
        const filters::FilterTable& table = session.loadTable();
        int position = 0;
        for (const filters::FilterDefinition& filter : table.filters)
            check.filters.push_back(
                {++position, filter.name, filter.description, filter.audited, filter.isScript});
        for (auto* diagnose : {filters::DiagnoseFilterTab, filters::DiagnoseCriteriaFiles,
                               DiagnoseCriteriaScripts}) {
            auto found = diagnose(table);
            problems.insert(problems.end(), found.begin(), found.end());
        }
        auto found = DiagnoseActionFiles(table, check.configuration);
        problems.insert(problems.end(), found.begin(), found.end());
        found = diagnoseAuditList(registryPath, table);
        problems.insert(problems.end(), found.begin(), found.end());
        found = DiagnoseFolders(registryPath);
        problems.insert(problems.end(), found.begin(), found.end());
    }
    if (check.configuration.empty()) {
        problems.insert(problems.begin(),
                        {registryPath, 0, "no \"Configuration Directory\" is set"});
    }
    return check;
}

void AddCheckConfigCommand(CommandLine& cli) {
    struct Options {
        std::string registry;
        bool verbose = false;
    };
    auto o = std::make_shared<Options>();
    CLI::App& command = cli.add(
        cli.root(), "check-config",
        "report problems in the filter table and its files, and folders the agent cannot write "
        "into, before mail flows (exit status 1 when it finds one)",
        [o] { return checkConfig(o->registry, o->verbose); });
    AddRegistryOption(command, o->registry);
    command.add_flag("--verbose", o->verbose, "the agent's trace lines on standard error");
}

}  // namespace kz::tool
