// kzmta reload: asks the running agent to reload its filter table at its next message.

#include <cstdio>
#include <stdexcept>

#include "commands.h"
#include "config/registry_keys.h"
#include "platform/registry.h"

namespace kz::tool {

int runReloadCommand(const Args& argsIn) {
    Args args = argsIn;
    std::string registryPath = takeRegistryPath(args);
    if (!args.empty()) throw std::runtime_error("unexpected argument '" + args.front() + "'");
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

}  // namespace kz::tool
