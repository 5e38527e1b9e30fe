#include "redis_address.h"

#include <charconv>

#include "base/ascii.h"
#include "token_store.h"

namespace kz::bayes {

namespace {

constexpr std::string_view kTcpScheme = "redis://";
constexpr std::string_view kUnixScheme = "redis+unix://";

// Digits only, within [min, max].
std::optional<unsigned> number(std::string_view text, unsigned min, unsigned max) {
    unsigned value = 0;
    if (text.empty() || text.size() > 10) return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < min || value > max) return std::nullopt;
    return value;
}

[[noreturn]] void malformed(std::string_view database, const std::string& why) {
    throw StoreError("\"Database\" " + std::string(database) + ": " + why);
}

// Redis numbers its databases from 0; a server has 16 unless told otherwise.
constexpr unsigned kMaxDatabase = 1u << 20;

RedisAddress tcpAddress(std::string_view database) {
    std::string_view rest = database.substr(kTcpScheme.size());
    RedisAddress address;
    if (const std::size_t slash = rest.find('/'); slash != std::string_view::npos) {
        const std::string_view db = rest.substr(slash + 1);
        if (!db.empty()) {
            const auto n = number(db, 0, kMaxDatabase);
            if (!n) malformed(database, "the database must be a number");
            address.database = *n;
        }
        rest = rest.substr(0, slash);
    }
    if (rest.find('@') != std::string_view::npos)
        malformed(database, "give the password as \"Password\", not in the address");
    std::string_view port;
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) malformed(database, "the IPv6 address is not closed");
        address.host = std::string(rest.substr(1, close - 1));
        rest = rest.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':')) malformed(database, "text after the host");
        if (!rest.empty()) port = rest.substr(1);
    } else {
        const std::size_t colon = rest.find(':');
        address.host = std::string(rest.substr(0, colon));
        if (colon != std::string_view::npos) port = rest.substr(colon + 1);
        if (colon != std::string_view::npos && port.empty()) malformed(database, "no port");
    }
    if (address.host.empty()) malformed(database, "no host");
    if (!port.empty()) {
        const auto n = number(port, 1, 65535);
        if (!n) malformed(database, "the port must be a number from 1 to 65535");
        address.port = int(*n);
    }
    return address;
}

RedisAddress unixAddress(std::string_view database) {
    std::string_view rest = database.substr(kUnixScheme.size());
    RedisAddress address;
    if (const std::size_t query = rest.find('?'); query != std::string_view::npos) {
        const std::string_view option = rest.substr(query + 1);
        if (!option.starts_with("db=")) malformed(database, "the only option is db=N");
        const auto n = number(option.substr(3), 0, kMaxDatabase);
        if (!n) malformed(database, "the database must be a number");
        address.database = *n;
        rest = rest.substr(0, query);
    }
    if (!rest.starts_with('/')) malformed(database, "the socket needs an absolute path");
    address.socketPath = std::string(rest);
    return address;
}

}  // namespace

std::string RedisAddress::describe() const {
    const std::string where =
        socketPath.empty() ? (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" +
                                 std::to_string(port)
                           : socketPath;
    return "Redis " + where + " database " + std::to_string(database);
}

std::optional<RedisAddress> ParseRedisAddress(std::string_view database) {
    if (startsWithIgnoreCase(database, kTcpScheme)) return tcpAddress(database);
    if (startsWithIgnoreCase(database, kUnixScheme)) return unixAddress(database);
    if (startsWithIgnoreCase(database, "redis")) {
        const std::size_t colon = database.find("://");
        if (colon != std::string_view::npos && colon < 12)
            malformed(database, "a Redis store is redis://HOST:PORT/DB or redis+unix:///PATH?db=N");
    }
    return std::nullopt;
}

}  // namespace kz::bayes
