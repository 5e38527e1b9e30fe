// kzmta milter: the agent behind an MTA that speaks the milter protocol.

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "config/registry_keys.h"
#include "milter_agent_runs.h"
#include "milter_callbacks.h"
#include "milter_daemon.h"
#include "milter_handoff.h"
#include "milter_options.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "tools/kzmta/agent_library.h"
#include "tools/kzmta/agent_trace.h"
#include "tools/kzmta/commands.h"
#include "tools/kzmta/registry_facts.h"

namespace kz::tool {

namespace {

// Runs still going at the end get this long before the process leaves without them.
constexpr std::chrono::seconds kShutdownBound{30};
// How often new messages the MTA did not take are offered again.
constexpr std::chrono::seconds kHandOffRetry{30};

int RunMilter(const MilterOptions& options) {
    std::string root = ConnectorRootDirectory(options.registry);
    if (root.empty())
        throw std::runtime_error("the registry file " + options.registry +
                                 " names no Connector Root Directory");
    // The agent finds its registry file through the environment, as in kzmta run.
    platform::setEnvironment("KZ_REGISTRY", options.registry);
    platform::setFolderFlush(FlushQueueFolders(options.registry));
    // Mail in transit, quarantine and bad-mail copies are for this user alone.
    umask(077);
    AgentTraceDiversion traces(options.verbose);
    // Before any thread starts: they all inherit its signal mask.
    MilterDaemon daemon(traces.console());

    MilterSpool spool(root, "SMTP");
    if (std::size_t cleared = spool.clearLeftovers())
        std::fprintf(stderr, "kzmta milter: %zu leftover spool files removed\n", cleared);
    MessageSubmitter submitter = options.submit.empty()
                                     ? MessageSubmitter::viaSendmail(options.sendmail)
                                     : MessageSubmitter::viaSmtp(options.submit);
    HandedOnSeals seals;
    HandOffPolicy policy;
    policy.remembersSeals = options.handOffReturns;
    policy.expiry = options.handOffExpiry;
    policy.badMail = LeftoverFolders(options.registry).badMail;
    NewMessageHandOff handOff(spool, submitter, seals, policy);
    handOff.restoreSending();
    AbandonedRuns abandoned(platform::joinPath(spool.folder(), "Abandoned"));
    HeldBytes memory(options.memoryLimit);

    AgentLibrary agent(options.library);
    agent.filterInit();
    AgentRuns runs(agent, options.threads, options.timeout);
    // What actions queued before a crash goes first.
    handOff.start(kHandOffRetry);
    MilterService service{
        options,         spool,     runs,   handOff,
        seals,           abandoned, memory, ActivityLogDirectory(options.registry),
        traces.console()};
    if (!OpenMilterSocket(service)) return 1;
    int status = daemon.run(ServeMilter, [&options](std::string& why) {
        // As kzmta reload does: the agent reloads at its next message.
        auto result =
            platform::Registry(options.registry).setDword(config::kAgentKey, config::kReload, 1);
        why = result.message;
        return result.ok();
    });
    if (!runs.waitIdle(kShutdownBound)) {
        // A run still inside the agent would lose its library under it.
        std::fprintf(stderr, "kzmta milter: agent runs still busy, leaving without them\n");
        std::fflush(stderr);
        std::_Exit(status == 0 ? 1 : status);
    }
    handOff.stop();
    agent.filterUnInit();
    std::fprintf(traces.console(), "kzmta milter: stopped\n");
    std::fflush(traces.console());
    return status;
}

}  // namespace

void AddMilterCommand(CommandLine& cli) {
    AddMilterOptions(cli, RunMilter);
}

}  // namespace kz::tool
