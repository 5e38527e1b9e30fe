#include "redis_client.h"

#include <hiredis/hiredis.h>
#include <sys/time.h>

#include "platform/quiet_pipe.h"
#include "token_store.h"

namespace kz::bayes {

void ReplyFree::operator()(redisReply* reply) const {
    freeReplyObject(reply);
}

namespace {

timeval asTimeval(std::chrono::milliseconds timeout) {
    timeval tv{};
    tv.tv_sec = time_t(timeout.count() / 1000);
    tv.tv_usec = suseconds_t(timeout.count() % 1000 * 1000);
    return tv;
}

}  // namespace

RedisClient::RedisClient(const RedisAddress& address, const std::string& password,
                         std::chrono::milliseconds timeout)
    : name_(address.describe()) {
    const timeval tv = asTimeval(timeout);
    context_ = address.socketPath.empty()
                   ? redisConnectWithTimeout(address.host.c_str(), address.port, tv)
                   : redisConnectUnixWithTimeout(address.socketPath.c_str(), tv);
    if (!context_) throw StoreUnavailable(name_ + ": out of memory");
    if (context_->err) {
        const std::string why = context_->errstr;
        redisFree(context_);
        throw StoreUnavailable(name_ + " cannot be reached: " + why);
    }
    try {
        if (redisSetTimeout(context_, tv) != REDIS_OK) lost("setting the timeout");
        // A server that vanished without closing the connection is noticed between calls.
        if (address.socketPath.empty() && redisEnableKeepAlive(context_) != REDIS_OK)
            lost("enabling keep-alive");
        const std::string database = std::to_string(address.database);
        std::vector<RedisCommand> start;
        if (!password.empty()) start.push_back({"AUTH", password});
        if (address.database != 0) start.push_back({"SELECT", database});
        if (!start.empty()) pipeline(start);
    } catch (const StoreUnavailable&) {
        redisFree(context_);
        throw;
    } catch (const StoreError& e) {
        // A wrong password or database leaves every message unscored, as a server that is
        // down does, and is reported the same way.
        redisFree(context_);
        throw StoreUnavailable(e.what());
    } catch (...) {
        redisFree(context_);
        throw;
    }
}

RedisClient::~RedisClient() {
    redisFree(context_);
}

void RedisClient::lost(const std::string& doing) {
    broken_ = true;
    throw StoreUnavailable(name_ + ": " + (context_->err ? context_->errstr : "no reply") +
                           " while " + doing);
}

std::vector<RedisReply> RedisClient::pipeline(const std::vector<RedisCommand>& commands) {
    if (broken_) throw StoreUnavailable(name_ + ": the connection was lost");
    // A server that closed the connection makes the write fail, not the host stop.
    const platform::QuietPipe quiet;
    std::vector<const char*> argv;
    std::vector<std::size_t> lengths;
    for (const RedisCommand& command : commands) {
        argv.clear();
        lengths.clear();
        for (std::string_view arg : command) {
            argv.push_back(arg.data());
            lengths.push_back(arg.size());
        }
        if (redisAppendCommandArgv(context_, int(argv.size()), argv.data(), lengths.data()) !=
            REDIS_OK)
            lost("sending");
    }
    std::vector<RedisReply> replies;
    std::string refused;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        void* reply = nullptr;
        if (redisGetReply(context_, &reply) != REDIS_OK || !reply) lost("waiting for its reply");
        replies.emplace_back(static_cast<redisReply*>(reply));
        // Every reply is read before an error is told, so the next call starts clean.
        if (replies.back()->type == REDIS_REPLY_ERROR && refused.empty())
            refused = std::string(replies.back()->str, replies.back()->len);
    }
    if (!refused.empty()) throw StoreError(name_ + " refused: " + refused);
    return replies;
}

RedisReply RedisClient::command(const RedisCommand& command) {
    return std::move(pipeline({command}).front());
}

}  // namespace kz::bayes
