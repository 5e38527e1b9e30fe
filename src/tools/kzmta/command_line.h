#pragma once
// kzmta's command line on CLI11: each command file adds its own subcommand (options, help
// and what it runs) through one Add...Command function of commands.h; main.cpp lists them.
//
// Exit status: 0 success (and --help, --version), 1 a failure, 2 a usage error (an unknown
// command or option, a missing or malformed argument).

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace kz::tool {

// What a command does once its options are parsed; returns the exit status.
using CommandRun = std::function<int()>;

// A usage error found after parsing (two options that exclude each other, say): exit 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class CommandLine {
  public:
    CommandLine();

    CLI::App& root() { return app_; }

    // Adds NAME under parent (the root, or a command with subcommands of its own); run is
    // called when it is the command given.
    CLI::App& add(CLI::App& parent, const std::string& name, const std::string& summary,
                  CommandRun run);
    // A command that only groups subcommands: one of them must be given.
    CLI::App& addGroup(CLI::App& parent, const std::string& name, const std::string& summary);

    // The arguments in UTF-8, the program name first.
    int run(const std::vector<std::string>& arguments);

  private:
    int usageError(const CLI::App& where, const std::string& what) const;

    CLI::App app_;
    std::map<const CLI::App*, CommandRun> runs_;
};

// Accepts a whole number in [min, max] written in decimal digits only: no sign, no spaces,
// no trailing text, no 0x or leading-zero octal; a value out of range is refused, never
// wrapped. It hands CLI11 the canonical digits.
CLI::Validator StrictNumber(uint64_t min, uint64_t max);

template <typename T>
CLI::Option* AddNumberOption(CLI::App& command, const std::string& name, T& value,
                             const std::string& help, uint64_t min = 0,
                             uint64_t max = std::numeric_limits<T>::max()) {
    max = std::min<uint64_t>(max, std::numeric_limits<T>::max());
    return command.add_option(name, value, help)->transform(StrictNumber(min, max))->type_name("N");
}

// --registry FILE, defaulting to $KZ_REGISTRY, else the system's registry file.
CLI::Option* AddRegistryOption(CLI::App& command, std::string& path);

// Commands that read the agent's settings need the registry file to exist: "no such file:
// PATH" says more than every value it would otherwise lack.
void RequireRegistryFile(const std::string& path);

}  // namespace kz::tool
