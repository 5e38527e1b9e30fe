// kzmta reload: asks the running agent to reload its filter table at its next message.

#include <cstdio>
#include <memory>

#include "command_line.h"
#include "commands.h"
#include "config/registry_keys.h"
#include "platform/registry.h"

namespace kz::tool {

namespace {

int reload(const std::string& registryPath) {
    // A missing file would be created holding nothing but the request.
    RequireRegistryFile(registryPath);
    platform::Registry registry(registryPath);
    auto result = registry.setDword(config::kAgentKey, config::kReload, 1);
    if (!result.ok()) {
        std::fprintf(stderr, "kzmta reload: cannot write %s: %s\n", registryPath.c_str(),
                     result.message.c_str());
        return 1;
    }
    std::printf("Reload requested: the agent reloads its filters at its next message.\n");
    return 0;
}

}  // namespace

void AddReloadCommand(CommandLine& cli) {
    auto registry = std::make_shared<std::string>();
    CLI::App& command =
        cli.add(cli.root(), "reload",
                "ask the running agent to reload its filter table at its next message",
                [registry] { return reload(*registry); });
    AddRegistryOption(command, *registry);
}

}  // namespace kz::tool
