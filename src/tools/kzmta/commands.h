#pragma once
// The subcommands of kzmta. Each takes the arguments after its own name and returns
// the process exit status.

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace kz::tool {

using Args = std::vector<std::string>;

int runRegCommand(const Args& args);
int runDemoCommand(const Args& args);
int runRunCommand(const Args& args);
int runReloadCommand(const Args& args);
int runExplainCommand(const Args& args);
int runInspectCommand(const Args& args);
int runCheckConfigCommand(const Args& args);
int runMilterCommand(const Args& args);
int runBayesCommand(const Args& args);

struct RunSettings {
    unsigned threads = 1;
    bool watch = false;
    bool eachMessage = true;  // a line per message: what became of it
    std::chrono::seconds leftoverAge = std::chrono::hours(1);
};

// Filters the queue of the registry's Connector Root Directory through the library, after
// clearing what interrupted runs left that is at least leftoverAge old; prints what it did
// to `out`. The agent's trace lines are the caller's to divert.
int RunQueue(const std::string& registry, const std::string& libraryPath,
             const RunSettings& settings, std::FILE* out);

// The registry file: --registry FILE (removed from args) or KZ_REGISTRY or the default.
std::string takeRegistryPath(Args& args);
// Removes "--name VALUE" from args; true when present (value stored in out).
bool takeOption(Args& args, const std::string& name, std::string& out);
bool takeFlag(Args& args, const std::string& name);

}  // namespace kz::tool
