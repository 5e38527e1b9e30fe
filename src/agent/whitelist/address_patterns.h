#pragma once
// How a client address is compared with one pattern of the system whitelist.

#include <string_view>

namespace kz::whitelist {

// Dot-separated parts compared in order; a pattern part "*" stands for any one address
// part. Both must have the same number of parts, so "10.*.*.*" matches "10.1.2.3" but
// "10.*" and "*" do not. An empty address matches nothing.
bool MatchesIPv4Pattern(std::string_view pattern, std::string_view address);

// The address in address mode, the pattern in pattern mode (see IPv6Address).
bool MatchesIPv6Pattern(std::string_view pattern, std::string_view address);

// The comparison the address's form calls for: IPv6 when it holds a ":", else IPv4.
bool MatchesAddressPattern(std::string_view pattern, std::string_view address);

}  // namespace kz::whitelist
