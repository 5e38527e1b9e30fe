#pragma once
// The host and port of a daemon address: "host", "host:port", "[v6 address]" or
// "[v6 address]:port".

#include <cstdint>
#include <string>
#include <string_view>

namespace kz::platform {

// False for a '[' without its ']'. A missing port is the default port.
bool splitHostAndPort(std::string_view address, uint16_t defaultPort, std::string& host,
                      std::string& port);

}  // namespace kz::platform
