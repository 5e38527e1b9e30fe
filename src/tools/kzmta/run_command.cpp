// kzmta run: plays the MTA for the agent library.

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <thread>

#include "agent_library.h"
#include "agent_trace.h"
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
};

RunOptions ParseRunOptions(Args args) {
    RunOptions options;
    options.registry = takeRegistryPath(args);
    if (!takeOption(args, "--library", options.library))
        options.library = AgentLibrary::defaultPath();
    std::string threads;
    if (takeOption(args, "--threads", threads)) {
        try {
            options.settings.threads = unsigned(std::stoul(threads));
        } catch (const std::exception&) {
            throw std::runtime_error("--threads needs a number, not '" + threads + "'");
        }
        if (options.settings.threads == 0) throw std::runtime_error("--threads must be at least 1");
    } else {
        options.settings.threads = std::max(1u, std::thread::hardware_concurrency());
    }
    std::string age;
    if (takeOption(args, "--leftover-age", age)) {
        try {
            options.settings.leftoverAge = std::chrono::seconds(std::stoul(age));
        } catch (const std::exception&) {
            throw std::runtime_error("--leftover-age needs a number of seconds, not '" + age + "'");
        }
    }
    options.settings.watch = takeFlag(args, "--watch");
    options.verbose = takeFlag(args, "--verbose");
    if (!args.empty()) throw std::runtime_error("unexpected argument '" + args.front() + "'");
    return options;
}

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
    std::string root = ConnectorRootDirectory(registry);
    if (root.empty()) {
        std::fprintf(stderr, "kzmta run: the registry file %s names no Connector Root Directory\n",
                     registry.c_str());
        return 1;
    }
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

int runRunCommand(const Args& args) {
    RunOptions options = ParseRunOptions(args);
    AgentTraceDiversion traces(options.verbose);
    return RunQueue(options.registry, options.library, options.settings, traces.console());
}

}  // namespace kz::tool
