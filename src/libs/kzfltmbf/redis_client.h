#pragma once
// One connection to a Redis server through hiredis, bounded in time: the connect and
// every reply wait at most the store's "Timeout". Commands are sent together and their
// replies read together, one round trip for all.

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "redis_address.h"

struct redisContext;
struct redisReply;

namespace kz::bayes {

struct ReplyFree {
    void operator()(redisReply* reply) const;
};
using RedisReply = std::unique_ptr<redisReply, ReplyFree>;
using RedisCommand = std::vector<std::string_view>;

class RedisClient {
  public:
    // Connects, authenticates and selects the database; throws StoreUnavailable when the
    // server cannot be reached, StoreError when it refuses.
    RedisClient(const RedisAddress& address, const std::string& password,
                std::chrono::milliseconds timeout);
    ~RedisClient();
    RedisClient(const RedisClient&) = delete;
    RedisClient& operator=(const RedisClient&) = delete;

    // The replies in order. A lost connection throws StoreUnavailable and leaves the
    // client broken; an error reply throws StoreError with the server's words.
    std::vector<RedisReply> pipeline(const std::vector<RedisCommand>& commands);
    RedisReply command(const RedisCommand& command);
    bool broken() const { return broken_; }
    const std::string& name() const { return name_; }

  private:
    [[noreturn]] void lost(const std::string& doing);

    redisContext* context_ = nullptr;
    std::string name_;
    bool broken_ = false;
};

}  // namespace kz::bayes
