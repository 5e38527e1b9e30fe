#include "platform/environment.h"

#include <cstdlib>

namespace kz::platform {

void setEnvironment(std::string_view name, std::string_view value) {
    ::setenv(std::string(name).c_str(), std::string(value).c_str(), 1);
}

}  // namespace kz::platform
