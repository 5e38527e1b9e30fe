#pragma once
// The IPv4 addresses of the hosts in a message's links, asked through the project's own
// DNS client, many at once, within one deadline for all of a message's link work: the
// DNS blacklist library's "Timeout" (DNS Blacklists key, default 2000 ms, at most 30 s).

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dns_query.h"

namespace kz::dns {

using LinkClock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kDefaultLinkTimeout{2000};
constexpr std::chrono::milliseconds kLongestLinkTimeout{30000};

// The resolver of the attached process, made at attach with the "Local DNS Server List"
// (none: the system's resolver configuration) and the timeout; part of DnsLibrary.
struct LinkResolver {
    std::shared_ptr<platform::DnsResolver> resolver;
    std::chrono::milliseconds timeout = kDefaultLinkTimeout;
};

// Makes the link resolver from the settings read at attach.
LinkResolver MakeLinkResolver();

// How long a message's link work may take, from its first link on.
std::chrono::milliseconds LinkTimeout();

// The first IPv4 address of each host, dotted; none for a host without one by the
// deadline. A host that is a numeric address in any classic form is its own answer.
std::vector<std::optional<std::string>> ResolveLinkHosts(const std::vector<std::string>& hosts,
                                                         LinkClock::time_point deadline);

}  // namespace kz::dns
