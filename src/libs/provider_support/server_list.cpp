#include "provider_support/server_list.h"

#include <arpa/inet.h>

#include <charconv>

#include "provider_support/text_split.h"

namespace kz::providers {

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
    const std::string text(address);
    if (inet_pton(AF_INET, text.c_str(), server.bytes) == 1) {
        server.family = AF_INET;
        return true;
    }
    if (inet_pton(AF_INET6, text.c_str(), server.bytes) == 1) {
        server.family = AF_INET6;
        return true;
    }
    return false;
}

}  // namespace

ServerList ParseServerList(std::string_view text) {
    ServerList list;
    for (std::string_view item : SplitItems(text, ",; \t\r\n")) {
        DnsServer server;
        if (parseServer(item, server))
            list.servers.push_back(server);
        else
            list.rejected.emplace_back(item);
    }
    return list;
}

}  // namespace kz::providers
