#pragma once
// The DNS servers the agent hands over: "address" or "address:port" items separated by
// commas, semicolons or blanks; an IPv6 address with a port is written "[address]:port".

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kz::providers {

struct DnsServer {
    int family = 0;                // AF_INET or AF_INET6
    unsigned char bytes[16] = {};  // the address in network byte order
    uint16_t port = 53;
};

struct ServerList {
    std::vector<DnsServer> servers;
    std::vector<std::string> rejected;  // items that are not an address
};

ServerList ParseServerList(std::string_view text);

}  // namespace kz::providers
