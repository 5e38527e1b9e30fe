#include "token_store.h"

#include <chrono>
#include <optional>

#include "platform/crypto.h"
#include "redis_address.h"
#include "redis_store.h"
#include "sqlite_store.h"
#include "store_settings.h"

namespace kz::bayes {

std::unique_ptr<TokenStore> OpenTokenStore(const StoreSettings& settings) {
    if (const std::optional<RedisAddress> redis = ParseRedisAddress(settings.database))
        return OpenRedisStore(settings, *redis);
    return std::make_unique<SqliteStore>(settings.database, settings.maxTokens);
}

int64_t TokenKey(std::string_view token) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : token) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return int64_t(hash);
}

std::string MessageDigest(std::string_view messageText) {
    const std::optional<platform::Sha256Mac> digest = platform::sha256(messageText);
    if (!digest) throw StoreError("cannot compute the message digest");
    return std::string(reinterpret_cast<const char*>(digest->data()), digest->size());
}

int64_t MillisecondsNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace kz::bayes
