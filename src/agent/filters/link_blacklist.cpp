#include "filters/link_blacklist.h"

#include "base/ascii.h"
#include "base/text_limit.h"
#include "config/settings.h"
#include "dns/dns_library.h"
#include "log/debug_log.h"
#include "platform/resolve.h"

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

// One link: Listed when its host is listed, Exhausted when the lookups of the message
// are used up, Done otherwise.
PassEnd checkLink(std::string_view messageId, LinkLookups& lookups, std::string_view body,
                  std::string& response, std::string& listName) {
    const auto host = LinkHost(body);
    if (!host) return PassEnd::Done;
    const auto address = platform::resolveHostIPv4(*host);
    if (!address) {
        return ++lookups.unresolved >= kMaxUnresolvedHosts ? PassEnd::Exhausted : PassEnd::Done;
    }
    const std::string addressText(kAddressLimit.cut(*address));
    if (dns::HasOrbdbEntry(*host, addressText, response, listName)) {
        logListedLink(messageId, *host, addressText, listName);
        return PassEnd::Listed;
    }
    const int checked = lookups.counter++;
    return checked > long(config::Settings().uriSblMaxChecks) ? PassEnd::Exhausted : PassEnd::Done;
}

PassEnd runPass(std::string_view scheme, std::string_view messageId, LinkLookups& lookups,
                std::string_view text, std::string& response, std::string& listName) {
    std::size_t position = 0;
    while ((position = findIgnoreCase(text, scheme, position)) != std::string_view::npos) {
        const std::size_t bodyStart = position + scheme.size();
        std::size_t end = text.find_first_of(kLinkEnds, bodyStart);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view body = kLinkBodyLimit.cut(text.substr(bodyStart, end - bodyStart));
        const PassEnd result = checkLink(messageId, lookups, body, response, listName);
        if (result != PassEnd::Done) return result;
        position = end;
    }
    return PassEnd::Done;
}

}  // namespace

std::optional<std::string> LinkHost(std::string_view linkBody) {
    const std::string_view host = linkBody.substr(0, linkBody.find('/'));
    if (host.find('%') == std::string_view::npos) return std::string(host);
    return percentDecoded(host);
}

bool FindBlacklistedLink(std::string_view messageId, LinkLookups& lookups, std::string_view text,
                         std::string& responseBuffer, std::string& listName) {
    for (std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
        if (lookups.unresolved >= kMaxUnresolvedHosts) return false;
        const PassEnd end = runPass(scheme, messageId, lookups, text, responseBuffer, listName);
        if (end == PassEnd::Listed) return true;
    }
    return false;
}

}  // namespace kz::filters
