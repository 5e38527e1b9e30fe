// kzmta: the stand-in for the mail transfer agent and the administrator's tool.

#include <cstdio>
#include <exception>
#include <string_view>

#include "commands.h"

namespace {

struct Command {
    std::string_view name;
    int (*run)(const kz::tool::Args&);
    std::string_view summary;
};

constexpr Command kCommands[] = {
    {"reg", kz::tool::runRegCommand,
     "read and change the registry file (get, set, delete, list, import, export)"},
    {"run", kz::tool::runRunCommand,
     "filter every queued message through the agent library (--library, --threads, --watch, "
     "--verbose, --leftover-age SECONDS)"},
    {"reload", kz::tool::runReloadCommand, "ask the running agent to reload its filter table"},
    {"demo", kz::tool::runDemoCommand,
     "build a demo mail environment and filter its queue (--dir, --library, --verbose)"},
    {"explain", kz::tool::runExplainCommand,
     "show what a run would decide for one queued message (--connector, --message, --json, "
     "--verbose)"},
    {"inspect", kz::tool::runInspectCommand,
     "show what the agent sees of a message file: headers, parts, bodies (FILE, --json)"},
    {"check-config", kz::tool::runCheckConfigCommand,
     "report problems in the filter table and its files before mail flows (--verbose)"},
#ifndef _WIN32
    {"milter", kz::tool::runMilterCommand,
     "filter an MTA's mail over the milter protocol (--socket unix:PATH|inet:PORT@HOST, "
     "--threads, --reject TEXT, --sendmail PATH, --submit HOST:PORT, --max-size, --timeout, "
     "--memory-limit, --hand-off-returns, --hand-off-expiry HOURS)"},
#endif
    {"bayes", kz::tool::runBayesCommand,
     "teach the Bayesian classifier (learn --spam|--ham FILE..., forget --spam|--ham FILE..., "
     "stats)"},
};

int usage() {
    std::fprintf(stderr, "usage: kzmta COMMAND [ARGS...]\n\ncommands:\n");
    for (const Command& c : kCommands) {
        std::fprintf(stderr, "  %-12.*s %.*s\n", int(c.name.size()), c.name.data(),
                     int(c.summary.size()), c.summary.data());
    }
    std::fprintf(stderr,
                 "\nThe registry file is --registry FILE, else $KZ_REGISTRY, else "
                 "/etc/kzmta/registry.reg.\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    std::string_view name = argv[1];
    kz::tool::Args args(argv + 2, argv + argc);
    for (const Command& c : kCommands) {
        if (c.name != name) continue;
        try {
            return c.run(args);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "kzmta %s: %s\n", argv[1], e.what());
            return 1;
        }
    }
    std::fprintf(stderr, "kzmta: unknown command '%s'\n\n", argv[1]);
    return usage();
}
