// kzmta run: plays the MTA for the agent library.

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <thread>

#include "agent_library.h"
#include "commands.h"
#include "platform/console.h"
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
    unsigned threads = 0;
    bool watch = false;
    bool verbose = false;
    std::chrono::seconds leftoverAge{3600};
};

RunOptions ParseRunOptions(Args args) {
    RunOptions options;
    options.registry = takeRegistryPath(args);
    if (!takeOption(args, "--library", options.library))
        options.library = AgentLibrary::defaultPath();
    std::string threads;
    if (takeOption(args, "--threads", threads)) {
        try {
            options.threads = unsigned(std::stoul(threads));
        } catch (const std::exception&) {
            throw std::runtime_error("--threads needs a number, not '" + threads + "'");
        }
        if (options.threads == 0) throw std::runtime_error("--threads must be at least 1");
    } else {
        options.threads = std::max(1u, std::thread::hardware_concurrency());
    }
    std::string age;
    if (takeOption(args, "--leftover-age", age)) {
        try {
            options.leftoverAge = std::chrono::seconds(std::stoul(age));
        } catch (const std::exception&) {
            throw std::runtime_error("--leftover-age needs a number of seconds, not '" + age + "'");
        }
    }
    options.watch = takeFlag(args, "--watch");
    options.verbose = takeFlag(args, "--verbose");
    if (!args.empty()) throw std::runtime_error("unexpected argument '" + args.front() + "'");
    return options;
}

// Events wake the watch at once; the rescan on a timer takes up what no event announced:
// a message file that came after its command file, a connector added meanwhile.
constexpr auto kRescanInterval = std::chrono::seconds(1);

void WatchUntilStopped(QueueRunner& runner) {
    platform::installStopSignals();
    platform::DirectoryWatch watch;
    for (const std::string& folder : runner.watchedFolders()) watch.add(folder);
    std::printf("Watching the queue; SIGINT or SIGTERM ends the watch.\n");
    std::fflush(stdout);
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

void SweepLeftovers(const std::string& registry, std::chrono::seconds age) {
    SweepReport swept = SweepQueueLeftovers(LeftoverFolders(registry), age);
    if (swept.temporariesRemoved + swept.workingCopiesRemoved + swept.messagesMovedToBadMail == 0)
        return;
    std::printf(
        "Leftovers of interrupted runs: %zu temporaries and %zu working copies removed, "
        "%zu orphaned messages moved to bad mail\n",
        swept.temporariesRemoved, swept.workingCopiesRemoved, swept.messagesMovedToBadMail);
}

}  // namespace

int RunQueue(const std::string& registry, const std::string& libraryPath, unsigned threads,
             bool watch, bool verbose, std::chrono::seconds leftoverAge) {
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
    SweepLeftovers(registry, leftoverAge);

    auto started = std::chrono::steady_clock::now();
    RunSummary summary;
    {
        AgentLibrary agent(libraryPath);
        agent.filterInit();
        QueueRunner runner(agent, root, threads);
        bool progress = platform::stdoutIsTerminal() && !verbose;
        runner.onMessage = [&](const std::string& connector, const std::string& message,
                               Outcome outcome) {
            if (verbose) {
                std::printf("%s/%s: %s\n", connector.c_str(), message.c_str(),
                            OutcomeName(outcome));
                std::fflush(stdout);
            }
            if (progress && runner.summary().filtered % 100 == 0) {
                std::printf("\r%zu messages filtered", runner.summary().filtered);
                std::fflush(stdout);
            }
        };
        runner.drain();
        if (watch) WatchUntilStopped(runner);
        if (progress) std::printf("\r");
        agent.filterUnInit();
        summary = runner.summary();
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("Messages filtered: %zu\n", summary.filtered);
    std::printf("Removed from the queue: %zu\n", summary.deleted);
    std::printf("Handed on: %zu\n", summary.handedOn);
    std::printf("New messages queued by actions: %zu\n", summary.queuedByActions);
    std::printf("Report lines written: %zu\n", CountReportLines(logDirectory) - linesBefore);
    std::printf("Messages per second: %.1f\n",
                seconds > 0 ? double(summary.filtered) / seconds : 0.0);
    return 0;
}

int runRunCommand(const Args& args) {
    RunOptions options = ParseRunOptions(args);
    return RunQueue(options.registry, options.library, options.threads, options.watch,
                    options.verbose, options.leftoverAge);
}

}  // namespace kz::tool
