#include <cstdlib>

#include "base/default_paths.h"
#include "platform/registry.h"

namespace kz::platform {

std::string Registry::defaultPath() {
    const char* env = std::getenv("KZ_REGISTRY");
    return (env && *env) ? std::string(env) : std::string(kDefaultRegistryPath);
}

}  // namespace kz::platform
