// Fuzz target: what the DNS blacklist library reads from outside. The whole input as a
// DNS answer (the negative TTL is read from its authority section), and as the texts an
// administrator or a message supplies: the server list, a zone list, a link's host and
// an address. Every name the library would ask must be a valid DNS name, and an address
// the agent reads from a link host must read back as itself.
#include <arpa/inet.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/dns_negative_ttl.h"
#include "platform/ip_address.h"
#include "provider_support/server_list.h"
#include "provider_support/text_split.h"
#include "query_names.h"
#include "zone_list.h"

namespace {

bool lowerCase(std::string_view name) {
    for (char c : name) {
        if (c >= 'A' && c <= 'Z') return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kz::windns;
    using namespace kz::providers;
    if (size > INT_MAX) return 0;
    if (auto ttl = kz::platform::negativeTtlOf(data, static_cast<int>(size)))
        KZ_FUZZ_CHECK(ttl->count() >= 0);

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (std::string_view section : kz::fuzz::Sections(text)) {
        const ServerList servers = ParseServerList(section);
        KZ_FUZZ_CHECK(servers.servers.size() + servers.rejected.size() ==
                      SplitItems(section, ",; \t\r\n").size());
        for (const DnsServer& server : servers.servers) KZ_FUZZ_CHECK(server.port != 0);

        for (const Zone& zone : ParseZoneList(section).zones) {
            KZ_FUZZ_CHECK(IsDnsName(zone.name) && lowerCase(zone.name));
        }
        if (auto host = LinkHostName(section)) {
            KZ_FUZZ_CHECK(IsDnsName(*host) && lowerCase(*host));
            if (auto domain = RegisteredDomain(*host)) {
                KZ_FUZZ_CHECK(host->size() >= domain->size());
                if (auto name = QueryName(*domain, "bl.test")) KZ_FUZZ_CHECK(IsDnsName(*name));
            }
        }
        // A link host that is an address in a classic form reads back as itself dotted.
        if (auto numeric = kz::platform::parseIPv4Numeric(section))
            KZ_FUZZ_CHECK(kz::platform::parseIPv4(kz::platform::formatIPv4(*numeric)) == numeric);
        if (auto reversed = ReversedAddress(section)) {
            auto back = ReversedAddress(*reversed);
            KZ_FUZZ_CHECK(back.has_value());
            in_addr original{}, again{};
            KZ_FUZZ_CHECK(inet_pton(AF_INET, std::string(section).c_str(), &original) == 1);
            KZ_FUZZ_CHECK(inet_pton(AF_INET, back->c_str(), &again) == 1);
            KZ_FUZZ_CHECK(original.s_addr == again.s_addr);
        }
    }
    return 0;
}
