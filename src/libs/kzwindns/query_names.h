#pragma once
// What a blacklist zone is asked: a domain zone the host's registered domain (by the
// Public Suffix List), an address zone the IPv4 address with its four parts reversed.

#include <optional>
#include <string>
#include <string_view>

namespace kz::windns {

// The host of a link as a lower-case DNS name, without user information, port or
// trailing dot; none for an address literal or a name DNS cannot carry.
std::optional<std::string> LinkHostName(std::string_view host);

// "a.b.example.co.uk" -> "example.co.uk"; none for a public suffix itself.
std::optional<std::string> RegisteredDomain(const std::string& hostName);

// "192.0.2.5" -> "5.2.0.192"; none for anything but a dotted IPv4 address.
std::optional<std::string> ReversedAddress(std::string_view address);

// subject + "." + zone, when the whole name is a valid DNS name.
std::optional<std::string> QueryName(std::string_view subject, std::string_view zone);

}  // namespace kz::windns
