#pragma once
// Host name resolution for links found in messages.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace kz::platform {

// The first IPv4 address of the host in dotted form; null when the name does not
// resolve or no answer comes within the bound. A dotted address is its own answer.
// The caller never waits longer than the bound; thread-safe.
std::optional<std::string> resolveHostIPv4(
    std::string_view host, std::chrono::milliseconds bound = std::chrono::seconds(5));

}  // namespace kz::platform
