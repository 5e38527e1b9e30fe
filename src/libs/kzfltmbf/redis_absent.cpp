// Windows builds have no Redis client (hiredis is not packaged for mingw): a Redis
// "Database" is refused with a message that says so, and every message goes unscored.

#include "redis_store.h"

namespace kz::bayes {

std::unique_ptr<TokenStore> OpenRedisStore(const StoreSettings&, const RedisAddress& address) {
    throw StoreUnavailable(address.describe() +
                           ": this Windows build keeps the tokens in SQLite only; name a file "
                           "as \"Database\"");
}

}  // namespace kz::bayes
