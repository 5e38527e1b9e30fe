#include "platform/environment.h"

#include <cstdlib>

namespace kz::platform {

// _putenv_s changes the runtime's copy and the process environment that children get.
void setEnvironment(std::string_view name, std::string_view value) {
    _putenv_s(std::string(name).c_str(), std::string(value).c_str());
}

}  // namespace kz::platform
