#pragma once
// The DNS servers the agent hands over (platform/dns_query.h reads the list), under the
// names the provider libraries use.

#include "platform/dns_query.h"

namespace kz::providers {

using DnsServer = platform::DnsServer;
using ServerList = platform::DnsServerList;

inline ServerList ParseServerList(std::string_view text) {
    return platform::parseDnsServerList(text);
}

}  // namespace kz::providers
