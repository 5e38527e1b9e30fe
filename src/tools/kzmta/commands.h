#pragma once
// The commands of kzmta. Each command file adds its own subcommand to the command line
// (command_line.h): its options, its help and what it runs; main.cpp calls every Add.

#include <chrono>
#include <cstdio>
#include <string>

namespace kz::tool {

class CommandLine;

void AddRegCommand(CommandLine& cli);
void AddRunCommand(CommandLine& cli);
void AddReloadCommand(CommandLine& cli);
void AddDemoCommand(CommandLine& cli);
void AddExplainCommand(CommandLine& cli);
void AddReplayCommand(CommandLine& cli);
void AddInspectCommand(CommandLine& cli);
void AddCheckConfigCommand(CommandLine& cli);
void AddBayesCommand(CommandLine& cli);
void AddKeywordsCommand(CommandLine& cli);
void AddQuarantineCommand(CommandLine& cli);  // src/tools/console
void AddStatsCommand(CommandLine& cli);       // src/tools/console
void AddMilterCommand(CommandLine& cli);      // not on Windows: libmilter is Unix only
// src/tools/console/web; not on Windows yet: Debian's cpp-httplib is a Linux library.
void AddWebCommand(CommandLine& cli);

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

}  // namespace kz::tool
