#include "dns/link_resolver.h"

#include <algorithm>

#include "base/installed.h"
#include "config/registry_access.h"
#include "config/settings.h"
#include "dns/dns_library.h"
#include "platform/ip_address.h"

namespace kz::dns {

namespace {

// The DNS blacklist library's own key, whose "Timeout" bounds a message's link work too.
constexpr std::string_view kBlacklistsKey =
    "SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER\\DNS Blacklists";

std::shared_ptr<platform::DnsResolver> currentResolver() {
    DnsLibrary* installed = Installed<DnsLibrary>::current();
    if (!installed) return nullptr;
    std::lock_guard hold(installed->mutex);
    return installed->links.resolver;
}

}  // namespace

LinkResolver MakeLinkResolver() {
    LinkResolver made;
    const uint32_t timeout = config::RegDwordOr(kBlacklistsKey, "Timeout", 0);
    if (timeout > 0)
        made.timeout = std::min(std::chrono::milliseconds(timeout), kLongestLinkTimeout);
    std::vector<platform::DnsServer> servers =
        platform::parseDnsServerList(config::Settings().localDnsServerList).servers;
    // Every server gets one try within the bound.
    const auto perTry = std::max(made.timeout / std::max<int64_t>(1, int64_t(servers.size())),
                                 std::chrono::milliseconds(1));
    made.resolver = std::make_shared<platform::DnsResolver>(std::move(servers), perTry);
    return made;
}

std::chrono::milliseconds LinkTimeout() {
    DnsLibrary* installed = Installed<DnsLibrary>::current();
    if (!installed) return kDefaultLinkTimeout;
    std::lock_guard hold(installed->mutex);
    return installed->links.timeout;
}

std::vector<std::optional<std::string>> ResolveLinkHosts(const std::vector<std::string>& hosts,
                                                         LinkClock::time_point deadline) {
    std::vector<std::optional<std::string>> addresses(hosts.size());
    std::vector<platform::DnsQuestion> questions;
    std::vector<std::size_t> askedFor;
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        if (hosts[i].empty() || hosts[i].find('\0') != std::string::npos) continue;
        if (const auto numeric = platform::parseIPv4Numeric(hosts[i])) {
            addresses[i] = platform::formatIPv4(*numeric);
            continue;
        }
        questions.push_back({hosts[i], platform::DnsQuestion::Kind::HostAddress});
        askedFor.push_back(i);
    }
    if (questions.empty() || LinkClock::now() >= deadline) return addresses;
    std::shared_ptr<platform::DnsResolver> resolver = currentResolver();
    if (!resolver) {
        // Without an attached process (kzmta explain): the system's servers.
        resolver = std::make_shared<platform::DnsResolver>(std::vector<platform::DnsServer>{},
                                                           kDefaultLinkTimeout);
    }
    const std::vector<platform::DnsAnswer> answers = resolver->ask(questions, deadline);
    for (std::size_t j = 0; j < answers.size(); ++j) {
        if (answers[j].status == platform::DnsAnswer::Status::Records &&
            !answers[j].addresses.empty())
            addresses[askedFor[j]] = platform::formatIPv4(answers[j].addresses.front());
    }
    return addresses;
}

}  // namespace kz::dns
