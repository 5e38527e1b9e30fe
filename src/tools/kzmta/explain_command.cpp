// kzmta explain: what a run would decide for one queued message, without running any
// action or changing any file.

#include <cstdio>
#include <optional>
#include <stdexcept>

#include "agent_session.h"
#include "agent_trace.h"
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

}  // namespace

int runExplainCommand(const Args& argsIn) {
    Args args = argsIn;
    std::string registryPath = takeRegistryPath(args);
    std::string connector;
    std::string message;
    bool hasConnector = takeOption(args, "--connector", connector);
    bool hasMessage = takeOption(args, "--message", message);
    bool json = takeFlag(args, "--json");
    bool verbose = takeFlag(args, "--verbose");
    if (!args.empty()) throw std::runtime_error("unexpected argument '" + args.front() + "'");
    if (!hasConnector || !hasMessage || connector.empty() || message.empty()) {
        throw std::runtime_error("usage: kzmta explain --connector C --message ID [--json]");
    }
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

}  // namespace kz::tool
