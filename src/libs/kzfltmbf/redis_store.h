#pragma once
// The learned token counts on a Redis server, which every mail server that names it
// shares. Keys (prefix "kzbayes:"): hashes "spam" and "ham" (token key -> messages that
// held it), the sorted set "seen" (every token, scored by when it was last learned),
// the hash "messages" (digest -> "spam" or "ham") and the hash "totals". A message's
// tokens are read in one round trip; learning and forgetting are one Lua script each
// call, atomic on the server, so the learn-once rule holds for every mail server.
// Windows builds have no Redis client: opening one there throws StoreUnavailable.

#include <memory>

#include "redis_address.h"
#include "store_settings.h"
#include "token_store.h"

namespace kz::bayes {

std::unique_ptr<TokenStore> OpenRedisStore(const StoreSettings& settings,
                                           const RedisAddress& address);

}  // namespace kz::bayes
