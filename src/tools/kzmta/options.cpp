#include <algorithm>
#include <stdexcept>

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

}  // namespace kz::tool
