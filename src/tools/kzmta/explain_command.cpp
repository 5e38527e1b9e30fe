// kzmta explain: what a run would decide for one queued message, without running any
// action or changing any file.

#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>

#include "agent_session.h"
#include "agent_trace.h"
#include "command_line.h"
#include "commands.h"
#include "explain_output.h"

namespace kz::tool {

namespace {

// Queue names are single folder and file names: a path would read files outside the
// queue.
void checkQueueName(const std::string& option, const std::string& name) {
    if (name.find_first_of("/\\") != std::string::npos || name == "." || name == "..") {
        throw std::runtime_error(option + " takes a name, not a path: '" + name + "'");
    }
}

struct ExplainOptions {
    std::string registry;
    std::string connector;
    std::string message;
    bool json = false;
    bool verbose = false;
};

int explain(const ExplainOptions& o) {
    const std::string& registryPath = o.registry;
    const std::string& connector = o.connector;
    const std::string& message = o.message;
    const bool json = o.json;
    const bool verbose = o.verbose;
    if (connector.empty() || message.empty())
        throw UsageError("--connector and --message need a name");
    RequireRegistryFile(registryPath);
    checkQueueName("--connector", connector);
    checkQueueName("--message", message);

    std::optional<ExplainReport> report;
    {
        AgentTraceDiversion quiet(verbose);
        AgentSession session(registryPath);
        session.loadProviders();
        const filters::FilterTable& table = session.loadTable();
        report = ExplainMessage(table, connector, message);
    }
    std::string out = json ? ExplainJson(*report) : ExplainText(*report);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

}  // namespace

void AddExplainCommand(CommandLine& cli) {
    auto o = std::make_shared<ExplainOptions>();
    CLI::App& command =
        cli.add(cli.root(), "explain",
                "show what a run would decide for one queued message, changing nothing",
                [o] { return explain(*o); });
    AddRegistryOption(command, o->registry);
    command.add_option("--connector", o->connector, "the connector's queue folder")
        ->required()
        ->type_name("NAME");
    command.add_option("--message", o->message, "the message's command file in its Inbound folder")
        ->required()
        ->type_name("ID");
    command.add_flag("--json", o->json, "one JSON object instead of text");
    command.add_flag("--verbose", o->verbose, "the agent's trace lines on standard error");
}

}  // namespace kz::tool
