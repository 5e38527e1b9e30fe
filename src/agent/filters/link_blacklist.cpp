#include "filters/link_blacklist.h"

#include <vector>

#include "base/ascii.h"
#include "base/text_limit.h"
#include "config/settings.h"
#include "dns/dns_library.h"
#include "dns/link_resolver.h"
#include "log/debug_log.h"

namespace kz::filters {

namespace {

constexpr TextLimit kLinkBodyLimit{1024};
constexpr TextLimit kAddressLimit{64};
constexpr std::size_t kLoggedHostLength = 200;
constexpr std::string_view kLinkEnds{" \t\n\v\f\r\"'<>\0", 11};

enum class PassEnd { Listed, Exhausted, Done };

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> percentDecoded(std::string_view host) {
    std::string decoded;
    for (std::size_t i = 0; i < host.size(); ++i) {
        if (host[i] != '%') {
            decoded += host[i];
            continue;
        }
        if (i + 2 >= host.size()) return std::nullopt;
        const int high = hexValue(host[i + 1]);
        const int low = hexValue(host[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        decoded += char(high * 16 + low);
        i += 2;
    }
    return std::string(kLinkBodyLimit.cut(decoded));
}

std::string loggedHost(const std::string& host) {
    if (host.size() <= kLoggedHostLength) return host;
    return host.substr(0, kLoggedHostLength) + "...";
}

void logListedLink(std::string_view messageId, const std::string& host, const std::string& address,
                   const std::string& listName) {
    const std::string id(messageId);
    log::DebugLogf("Message %s has link to blacklisted IP. %s (%s) was found in blacklist %s\n",
                   id.c_str(), loggedHost(host).c_str(), address.c_str(), listName.c_str());
}

// Link hosts resolved together: a pass asks this many at once, so a text with many
// links holds neither many sockets nor the deadline with hosts it will never check.
constexpr std::size_t kResolveBatch = 32;

bool pastDeadline(std::string_view messageId, LinkLookups& lookups) {
    if (dns::LinkClock::now() < *lookups.deadline) return false;
    if (!lookups.stopNoted) {
        lookups.stopNoted = true;
        const std::string id(messageId);
        log::DebugLogf("Message %s: link checks stopped after %lld ms\n", id.c_str(),
                       static_cast<long long>(dns::LinkTimeout().count()));
    }
    return true;
}

// One link with its host's address: Listed when the host is listed, Exhausted when the
// lookups of the message are used up, Done otherwise.
PassEnd checkLink(std::string_view messageId, LinkLookups& lookups, const std::string& host,
                  const std::optional<std::string>& address, std::string& response,
                  std::string& listName) {
    if (!address) {
        return ++lookups.unresolved >= kMaxUnresolvedHosts ? PassEnd::Exhausted : PassEnd::Done;
    }
    const std::string addressText(kAddressLimit.cut(*address));
    if (dns::HasOrbdbEntry(host, addressText, response, listName)) {
        logListedLink(messageId, host, addressText, listName);
        return PassEnd::Listed;
    }
    const int checked = lookups.counter++;
    return checked > long(config::Settings().uriSblMaxChecks) ? PassEnd::Exhausted : PassEnd::Done;
}

// Checks a batch of hosts in order, their addresses asked all at once.
PassEnd checkBatch(std::string_view messageId, LinkLookups& lookups,
                   const std::vector<std::string>& hosts, std::string& response,
                   std::string& listName) {
    if (pastDeadline(messageId, lookups)) return PassEnd::Exhausted;
    const std::vector<std::optional<std::string>> addresses =
        dns::ResolveLinkHosts(hosts, *lookups.deadline);
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        if (i > 0 && pastDeadline(messageId, lookups)) return PassEnd::Exhausted;
        const PassEnd end =
            checkLink(messageId, lookups, hosts[i], addresses[i], response, listName);
        if (end != PassEnd::Done) return end;
    }
    return PassEnd::Done;
}

PassEnd runPass(std::string_view scheme, std::string_view messageId, LinkLookups& lookups,
                std::string_view text, std::string& response, std::string& listName) {
    std::vector<std::string> batch;
    std::size_t position = 0;
    while ((position = findIgnoreCase(text, scheme, position)) != std::string_view::npos) {
        const std::size_t bodyStart = position + scheme.size();
        std::size_t end = text.find_first_of(kLinkEnds, bodyStart);
        if (end == std::string_view::npos) end = text.size();
        position = end;
        const std::string_view body = kLinkBodyLimit.cut(text.substr(bodyStart, end - bodyStart));
        std::optional<std::string> host = LinkHost(body);
        if (!host) continue;
        batch.push_back(std::move(*host));
        if (batch.size() < kResolveBatch) continue;
        const PassEnd result = checkBatch(messageId, lookups, batch, response, listName);
        if (result != PassEnd::Done) return result;
        batch.clear();
    }
    if (batch.empty()) return PassEnd::Done;
    return checkBatch(messageId, lookups, batch, response, listName);
}

}  // namespace

std::optional<std::string> LinkHost(std::string_view linkBody) {
    const std::string_view host = linkBody.substr(0, linkBody.find('/'));
    if (host.find('%') == std::string_view::npos) return std::string(host);
    return percentDecoded(host);
}

bool FindBlacklistedLink(std::string_view messageId, LinkLookups& lookups, std::string_view text,
                         std::string& responseBuffer, std::string& listName) {
    if (!lookups.deadline) lookups.deadline = dns::LinkClock::now() + dns::LinkTimeout();
    for (std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
        if (lookups.unresolved >= kMaxUnresolvedHosts) return false;
        const PassEnd end = runPass(scheme, messageId, lookups, text, responseBuffer, listName);
        if (end == PassEnd::Listed) return true;
    }
    return false;
}

}  // namespace kz::filters
