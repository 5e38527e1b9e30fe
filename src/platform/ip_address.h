#pragma once
// Address literals: the dotted IPv4 form and the forms the system's resolver takes as a
// host's address without asking DNS.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kz::platform {

struct IpAddress {
    int family = 0;                // the system's AF_INET or AF_INET6
    unsigned char bytes[16] = {};  // network byte order
};

// A strict IPv4 ("192.0.2.1") or IPv6 literal; none for anything else.
std::optional<IpAddress> parseIpAddress(std::string_view text);

// A strict dotted IPv4 address in host byte order.
std::optional<uint32_t> parseIPv4(std::string_view text);
std::string formatIPv4(uint32_t hostOrder);

// The IPv4 address a host name stands for by itself, as the classic resolvers read it:
// one to four parts, each decimal, octal (leading 0) or hexadecimal (0x), the last part
// filling the bytes left ("127.1" is 127.0.0.1, "0177.0.0.1" too). Portable, so both
// systems take the same link hosts as addresses.
std::optional<uint32_t> parseIPv4Numeric(std::string_view text);

}  // namespace kz::platform
