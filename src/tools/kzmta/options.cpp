// The milter's arguments, taken by hand until its options move onto the command line.

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "command_line.h"
#include "commands.h"
#include "platform/registry.h"

namespace kz::tool {

bool takeOption(Args& args, const std::string& name, std::string& out) {
    auto it = std::find(args.begin(), args.end(), name);
    if (it == args.end()) return false;
    if (it + 1 == args.end()) throw std::runtime_error("option " + name + " needs a value");
    out = *(it + 1);
    args.erase(it, it + 2);
    return true;
}

bool takeFlag(Args& args, const std::string& name) {
    auto it = std::find(args.begin(), args.end(), name);
    if (it == args.end()) return false;
    args.erase(it);
    return true;
}

std::string takeRegistryPath(Args& args) {
    std::string path;
    if (takeOption(args, "--registry", path)) return path;
    return platform::Registry::defaultPath();
}

#ifndef _WIN32
void AddMilterCommand(CommandLine& cli) {
    auto milter = std::make_shared<CLI::App*>();
    *milter = &cli.add(cli.root(), "milter",
                       "filter an MTA's mail over the milter protocol (--socket "
                       "unix:PATH|inet:PORT@HOST, --threads, --reject TEXT, --sendmail PATH, "
                       "--submit HOST:PORT, --max-size, --timeout, --memory-limit, --hand-off-returns, "
                       "--hand-off-expiry HOURS)",
                       [milter] { return runMilterCommand((*milter)->remaining()); });
    (*milter)->prefix_command();
    (*milter)->fallthrough(false);
}
#endif

}  // namespace kz::tool
