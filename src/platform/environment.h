#pragma once
// The process environment, for the command-line host.

#include <optional>
#include <string>
#include <string_view>

namespace kz::platform {

std::optional<std::string> getEnvironment(std::string_view name);
void setEnvironment(std::string_view name, std::string_view value);

}  // namespace kz::platform
