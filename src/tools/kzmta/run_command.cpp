// kzmta run: plays the MTA for the agent library.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <thread>

#include "agent_library.h"
#include "agent_trace.h"
#include "command_line.h"
#include "commands.h"
#include "platform/dir_watch.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "queue_runner.h"
#include "registry_facts.h"

namespace kz::tool {

namespace {

const char* OutcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::Deleted:
            return "removed from the queue";
        case Outcome::HandedOn:
            return "handed on";
        case Outcome::Kept:
            return "kept (could not be handed on)";
    }
    return "";
}

struct RunOptions {
    std::string registry;
    std::string library;
    RunSettings settings;
    bool verbose = false;  // the agent's trace lines on standard error
    uint64_t leftoverSeconds = 3600;
};

// Events wake the watch at once; the rescan on a timer takes up what no event announced:
// a message file that came after its command file, a connector added meanwhile.
constexpr auto kRescanInterval = std::chrono::seconds(1);

void WatchUntilStopped(QueueRunner& runner, std::FILE* out) {
    platform::installStopSignals();
    platform::DirectoryWatch watch;
    for (const std::string& folder : runner.watchedFolders()) watch.add(folder);
    std::fprintf(out, "Watching the queue; SIGINT or SIGTERM ends the watch.\n");
    std::fflush(out);
    auto lastScan = std::chrono::steady_clock::now();
    while (!platform::stopRequested()) {
        bool changed = watch.wait(std::chrono::milliseconds(200));
        if (changed || std::chrono::steady_clock::now() - lastScan >= kRescanInterval) {
            for (const std::string& folder : runner.watchedFolders()) watch.add(folder);
            runner.drain();
            lastScan = std::chrono::steady_clock::now();
        }
    }
    runner.drain();
}

void SweepLeftovers(const std::string& registry, std::chrono::seconds age, std::FILE* out) {
    SweepReport swept = SweepQueueLeftovers(LeftoverFolders(registry), age);
    if (swept.temporariesRemoved + swept.workingCopiesRemoved + swept.messagesMovedToBadMail == 0)
        return;
    std::fprintf(out,
                 "Leftovers of interrupted runs: %zu temporaries and %zu working copies removed, "
                 "%zu orphaned messages moved to bad mail\n",
                 swept.temporariesRemoved, swept.workingCopiesRemoved,
                 swept.messagesMovedToBadMail);
}

}  // namespace

int RunQueue(const std::string& registry, const std::string& libraryPath,
             const RunSettings& settings, std::FILE* out) {
    RequireRegistryFile(registry);
    std::string root = ConnectorRootDirectory(registry);
    if (root.empty())
        throw std::runtime_error("the registry file " + registry +
                                 " names no \"Connector Root Directory\"");
    std::string logDirectory = ActivityLogDirectory(registry);
    std::size_t linesBefore = CountReportLines(logDirectory);
    // The agent finds its registry file through the environment, as the MTA's child would.
    platform::setEnvironment("KZ_REGISTRY", registry);
    platform::setFolderFlush(FlushQueueFolders(registry));

    SweepLeftovers(registry, settings.leftoverAge, out);
    auto started = std::chrono::steady_clock::now();
    RunSummary summary;
    {
        AgentLibrary agent(libraryPath);
        agent.filterInit();
        QueueRunner runner(agent, root, settings.threads);
        if (settings.eachMessage) {
            runner.onMessage = [out](const std::string& connector, const std::string& message,
                                     Outcome outcome) {
                std::fprintf(out, "%s/%s: %s\n", connector.c_str(), message.c_str(),
                             OutcomeName(outcome));
                std::fflush(out);
            };
        }
        runner.drain();
        if (settings.watch) WatchUntilStopped(runner, out);
        agent.filterUnInit();
        summary = runner.summary();
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fprintf(out, "Messages filtered: %zu\n", summary.filtered);
    std::fprintf(out, "Removed from the queue: %zu\n", summary.deleted);
    std::fprintf(out, "Handed on: %zu\n", summary.handedOn);
    std::fprintf(out, "New messages queued by actions: %zu\n", summary.queuedByActions);
    std::fprintf(out, "Report lines written: %zu\n", CountReportLines(logDirectory) - linesBefore);
    std::fprintf(out, "Messages per second: %.1f\n",
                 seconds > 0 ? double(summary.filtered) / seconds : 0.0);
    std::fflush(out);
    return 0;
}

void AddRunCommand(CommandLine& cli) {
    auto o = std::make_shared<RunOptions>();
    o->library = AgentLibrary::defaultPath();
    o->settings.threads = std::max(1u, std::thread::hardware_concurrency());
    CLI::App& run =
        cli.add(cli.root(), "run", "filter every queued message through the agent library", [o] {
            o->settings.leftoverAge = std::chrono::seconds(o->leftoverSeconds);
            AgentTraceDiversion traces(o->verbose);
            return RunQueue(o->registry, o->library, o->settings, traces.console());
        });
    AddRegistryOption(run, o->registry);
    run.add_option("--library", o->library, "the agent library")
        ->type_name("PATH")
        ->capture_default_str();
    AddNumberOption(run, "--threads", o->settings.threads,
                    "queue threads (default: one per processor)", 1, 1024);
    AddNumberOption(run, "--leftover-age", o->leftoverSeconds,
                    "clear what interrupted runs left once it is this many seconds old "
                    "(default 3600)",
                    0, UINT32_MAX);
    run.add_flag("--watch", o->settings.watch,
                 "keep filtering new messages until SIGINT or SIGTERM");
    run.add_flag("--verbose", o->verbose, "the agent's trace lines on standard error");
}

}  // namespace kz::tool
