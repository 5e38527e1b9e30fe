#include "platform/environment.h"

#include <cstdlib>

namespace kz::platform {

std::optional<std::string> getEnvironment(std::string_view name) {
    const char* value = std::getenv(std::string(name).c_str());
    if (!value) return std::nullopt;
    return std::string(value);
}

void setEnvironment(std::string_view name, std::string_view value) {
    ::setenv(std::string(name).c_str(), std::string(value).c_str(), 1);
}

}  // namespace kz::platform
