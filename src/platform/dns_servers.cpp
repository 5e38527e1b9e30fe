#include <charconv>

#include "platform/dns_query.h"
#include "platform/ip_address.h"

namespace kz::platform {

namespace {

bool parsePort(std::string_view text, uint16_t& port) {
    unsigned value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535)
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

bool parseServer(std::string_view item, DnsServer& server) {
    std::string_view address = item;
    std::string_view port;
    if (item.front() == '[') {
        const std::size_t close = item.find(']');
        if (close == std::string_view::npos) return false;
        address = item.substr(1, close - 1);
        std::string_view rest = item.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') return false;
            port = rest.substr(1);
        }
    } else if (item.find(':') == item.rfind(':') && item.find(':') != std::string_view::npos) {
        // One colon: an IPv4 address with its port; more make a bare IPv6 address.
        address = item.substr(0, item.find(':'));
        port = item.substr(item.find(':') + 1);
    }
    if (!port.empty() || item.back() == ':') {
        if (!parsePort(port, server.port)) return false;
    }
    const std::optional<IpAddress> parsed = parseIpAddress(address);
    if (!parsed) return false;
    server.family = parsed->family;
    std::copy(std::begin(parsed->bytes), std::end(parsed->bytes), server.bytes);
    return true;
}

}  // namespace

DnsServerList parseDnsServerList(std::string_view text) {
    constexpr std::string_view kSeparators = ",; \t\r\n";
    DnsServerList list;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of(kSeparators);
        const std::string_view item = text.substr(0, end);
        if (!item.empty()) {
            DnsServer server;
            if (parseServer(item, server))
                list.servers.push_back(server);
            else
                list.rejected.emplace_back(item);
        }
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return list;
}

}  // namespace kz::platform
