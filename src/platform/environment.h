#pragma once
// The process environment, for the command-line host and for expandable registry texts.

#include <optional>
#include <string>
#include <string_view>

namespace kz::platform {

std::optional<std::string> getEnvironment(std::string_view name);
void setEnvironment(std::string_view name, std::string_view value);

// The text with each %NAME% replaced by the variable's value; a name that is not set,
// and a lone %, stay as written.
std::string expandEnvironmentText(std::string_view text);

}  // namespace kz::platform
