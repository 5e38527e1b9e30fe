#include "command_line.h"

#include <cstdio>

#include "base/default_paths.h"
#include "platform/registry.h"
#include "version.h"

namespace kz::tool {

namespace {

// "kzmta reg get": the names from the root down to command.
std::string commandPath(const CLI::App& command) {
    std::string path = command.get_name();
    for (const CLI::App* up = command.get_parent(); up; up = up->get_parent())
        path = up->get_name() + (path.empty() ? "" : " ") + path;
    return path;
}

// The command the arguments chose: the deepest subcommand that was parsed.
const CLI::App& chosenCommand(const CLI::App& root) {
    const CLI::App* command = &root;
    for (auto parsed = command->get_subcommands(); !parsed.empty();
         parsed = command->get_subcommands()) {
        command = parsed.front();
    }
    return *command;
}

}  // namespace

CommandLine::CommandLine()
    : app_("The mail filter agent's administrator tool and MTA stand-in.", "kzmta") {
    app_.set_version_flag("--version",
                          std::string("kzmta ") + kVersion + " (" + kGitDescription + ")",
                          "print the version and the build's git description");
    app_.require_subcommand(1);
    // An option of a command is also accepted after the name of one of its subcommands.
    app_.fallthrough();
    app_.footer(
        "Exit status: 0 success, 1 failure, 2 usage error.\n"
#ifdef _WIN32
        "The registry is the system's (HKEY_LOCAL_MACHINE).\n"
#else
        "The registry file is --registry FILE, else $KZ_REGISTRY, else " KZ_DEFAULT_REGISTRY
        ".\n"
#endif
        "'kzmta COMMAND --help' describes each command.");
}

CLI::App& CommandLine::add(CLI::App& parent, const std::string& name, const std::string& summary,
                           CommandRun run) {
    CLI::App* command = parent.add_subcommand(name, summary);
    runs_[command] = std::move(run);
    return *command;
}

CLI::App& CommandLine::addGroup(CLI::App& parent, const std::string& name,
                                const std::string& summary) {
    CLI::App* command = parent.add_subcommand(name, summary);
    command->require_subcommand(1);
    return *command;
}

int CommandLine::usageError(const CLI::App& where, const std::string& what) const {
    std::string path = commandPath(where);
    std::fprintf(stderr, "%s: %s\nRun '%s --help' for usage.\n", path.c_str(), what.c_str(),
                 path.c_str());
    return 2;
}

int CommandLine::run(const std::vector<std::string>& arguments) {
    if (arguments.size() < 2) {
        std::fputs(app_.help().c_str(), stderr);
        return 2;
    }
    try {
        std::vector<const char*> argv;
        for (const std::string& argument : arguments) argv.push_back(argument.c_str());
        app_.parse(int(argv.size()), argv.data());
    } catch (const CLI::Success& e) {  // --help, --version
        return app_.exit(e);
    } catch (const CLI::ParseError& e) {
        const CLI::App& where = chosenCommand(app_);
        // CLI11 reports a misspelt command as a missing one.
        auto extra = app_.remaining(true);
        if (!where.get_subcommands({}).empty() && !extra.empty() && !extra.front().starts_with('-'))
            return usageError(where, "unknown command '" + extra.front() + "'");
        return usageError(where, e.what());
    }
    const CLI::App& command = chosenCommand(app_);
    auto found = runs_.find(&command);
    if (found == runs_.end()) return usageError(command, "a command is needed");
    try {
        return found->second();
    } catch (const UsageError& e) {
        return usageError(command, e.what());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", commandPath(command).c_str(), e.what());
        return 1;
    }
}

CLI::Validator StrictNumber(uint64_t min, uint64_t max) {
    std::string range = std::to_string(min) + " to " + std::to_string(max);
    return CLI::Validator(
        [min, max, range](std::string& text) -> std::string {
            uint64_t value = 0;
            bool digits = !text.empty() && text.size() <= 20;
            for (char c : text) {
                if (c < '0' || c > '9') {
                    digits = false;
                    break;
                }
                unsigned digit = unsigned(c - '0');
                if (value > (UINT64_MAX - digit) / 10) {
                    digits = false;
                    break;
                }
                value = value * 10 + digit;
            }
            if (!digits || value < min || value > max)
                return "needs a number from " + range + ", not '" + text + "'";
            text = std::to_string(value);
            return {};
        },
        "NUMBER " + range, "StrictNumber");
}

CLI::Option* AddRegistryOption(CLI::App& command, std::string& path) {
    path = platform::Registry::defaultPath();
    return command.add_option("--registry", path, "the registry file")->type_name("FILE");
}

void RequireRegistryFile(const std::string& path) {
    if (!platform::Registry(path).present()) throw std::runtime_error("no such file: " + path);
}

}  // namespace kz::tool
