#pragma once
// A Redis server named by the "Database" setting: "redis://HOST[:PORT][/DB]" (HOST may be
// an IPv6 address in brackets) or "redis+unix:///PATH[?db=N]".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kz::bayes {

struct RedisAddress {
    std::string host;  // empty for a Unix socket
    int port = 6379;
    std::string socketPath;  // empty for TCP
    unsigned database = 0;

    std::string describe() const;  // for messages: host:port or the socket path, and DB
};

// Nothing when the text names no Redis server (it is then an SQLite file); a Redis
// address that is malformed throws StoreError saying why.
std::optional<RedisAddress> ParseRedisAddress(std::string_view database);

}  // namespace kz::bayes
