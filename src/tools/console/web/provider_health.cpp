// The Health page's providers: each one the configuration enables, with the server it
// talks to and whether that answers now. Every check is bounded by about a second.

#include <chrono>

#include "config/registry_keys.h"
#include "platform/dns_query.h"
#include "platform/stream_socket.h"
#include "redis_address.h"
#include "token_store.h"
#include "views.h"

namespace kz::tool::web {

namespace {

using namespace std::chrono_literals;

constexpr auto kCheckTimeout = 1000ms;

// A provider's own setting under the agent's key, as its library reads it.
std::string providerText(const platform::Registry& registry, std::string_view provider,
                         std::string_view name, std::string fallback) {
    auto value =
        registry.query(std::string(config::kAgentKey) + "\\" + std::string(provider), name);
    return value && !value->asString().empty() ? value->asString() : fallback;
}

bool flagSet(const platform::Registry& registry, std::string_view key, std::string_view name) {
    auto value = registry.query(key, name);
    auto flag = value ? value->asDword() : std::nullopt;
    return flag && *flag != 0;
}

nlohmann::json row(std::string_view name, bool on, const std::string& server) {
    nlohmann::json out = {{"name", name}, {"enabled", on}};
    if (!server.empty()) out["server"] = server;
    return out;
}

void connectTo(nlohmann::json& out, const std::string& address, uint16_t port) {
    std::string why;
    auto connection = platform::StreamConnection::connect(address, port, kCheckTimeout, why);
    out["reachable"] = connection != nullptr;
    if (!connection) out["problem"] = why;
}

nlohmann::json daemon(std::string_view name, bool on, const std::string& server, uint16_t port) {
    nlohmann::json out = row(name, on, server);
    if (on) connectTo(out, server, port);
    return out;
}

// The token store: a Redis server is asked for a connection; an SQLite file is the
// classifier's own and needs no server.
nlohmann::json bayesian(const platform::Registry& registry) {
    const bool on = flagSet(registry, config::kAgentKey, config::kBayesianFilteringStatus);
    const std::string database = providerText(registry, "Bayesian", "Database", "");
    nlohmann::json out =
        row("Bayesian", on, database.empty() ? "the default SQLite file" : database);
    if (!on) return out;
    try {
        auto redis = bayes::ParseRedisAddress(database);
        if (!redis) return out;
        const bool ipv6 = redis->host.find(':') != std::string::npos;
        connectTo(out,
                  !redis->socketPath.empty() ? redis->socketPath
                  : ipv6                     ? "[" + redis->host + "]"
                                             : redis->host,
                  uint16_t(redis->port));
    } catch (const bayes::StoreError& error) {
        out["reachable"] = false;
        out["problem"] = error.what();
    }
    return out;
}

// The items of "Local DNS Server List" that name a server, as written.
std::vector<std::string> dnsServerItems(const std::string& list) {
    std::vector<std::string> items;
    std::size_t at = 0;
    while (at < list.size()) {
        std::size_t end = list.find_first_of(",; \t", at);
        if (end == std::string::npos) end = list.size();
        std::string item = list.substr(at, end - at);
        if (!item.empty() && platform::parseDnsServerList(item).servers.size() == 1)
            items.push_back(item);
        at = end + 1;
    }
    return items;
}

// A DNS server answers at all: a name that never exists (RFC 6761) costs it no lookup.
nlohmann::json dnsServer(bool on, const std::string& item) {
    nlohmann::json out = row("DNS server", on, item.empty() ? "the system's resolver" : item);
    if (!on) return out;
    std::vector<platform::DnsServer> servers;
    if (!item.empty()) servers = platform::parseDnsServerList(item).servers;
    platform::DnsResolver resolver(servers, kCheckTimeout);
    auto answers = resolver.ask({{"kzmta-health.invalid", platform::DnsQuestion::Kind::Address}},
                                platform::DnsResolver::Clock::now() + kCheckTimeout + 500ms);
    const platform::DnsAnswer& answer = answers.at(0);
    const bool silent = answer.status == platform::DnsAnswer::Status::Failed && answer.timedOut;
    out["reachable"] = !silent;
    if (silent) out["problem"] = answer.error.empty() ? "no answer" : answer.error;
    return out;
}

}  // namespace

nlohmann::json ProviderHealth(const platform::Registry& registry) {
    nlohmann::json providers = nlohmann::json::array();
    providers.push_back(bayesian(registry));
    providers.push_back(
        daemon("SpamAssassin", flagSet(registry, config::kAgentKey, config::kSpamAssassinEnabled),
               providerText(registry, "SpamAssassin", "Server", "127.0.0.1:783"), 783));
    providers.push_back(
        daemon("Antivirus", flagSet(registry, config::kAgentKey, config::kAntivirusStatus),
               providerText(registry, "Antivirus", "Server", "127.0.0.1:3310"), 3310));
    // The blacklists and the DKIM verifier ask the SMTP connector's DNS servers.
    const bool blacklists = flagSet(registry, config::kAgentKey, config::kPerformSblRbl);
    const bool dkim = flagSet(registry, config::kSmtpKey, config::kDomainKeysStatus);
    providers.push_back(row("DNS blacklists", blacklists, ""));
    providers.push_back(row("DKIM", dkim, ""));
    auto list = registry.query(config::kSmtpKey, config::kLocalDnsServerList);
    std::vector<std::string> items = dnsServerItems(list ? list->asString() : "");
    if (items.empty()) items.emplace_back();
    for (const std::string& item : items) providers.push_back(dnsServer(blacklists || dkim, item));
    return providers;
}

}  // namespace kz::tool::web
