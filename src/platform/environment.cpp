#include "platform/environment.h"

#include <cstdlib>

namespace kz::platform {

std::optional<std::string> getEnvironment(std::string_view name) {
    const char* value = std::getenv(std::string(name).c_str());
    if (!value) return std::nullopt;
    return std::string(value);
}

}  // namespace kz::platform
