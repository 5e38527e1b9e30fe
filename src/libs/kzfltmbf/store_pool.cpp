#include "store_pool.h"

#include <array>
#include <mutex>
#include <type_traits>

namespace kz::bayes {

namespace {

// More idle connections than threads that score at once would only hold memory.
constexpr std::size_t kMaxIdle = 16;

// Nothing to destroy: a clean-up entry called at process exit after this library's
// objects were destroyed still finds the pool as it was. Only clean-up closes the
// connections.
struct Pool {
    std::mutex mutex;
    std::array<TokenStore*, kMaxIdle> idle{};
    std::size_t idleCount = 0;
};
static_assert(std::is_trivially_destructible_v<Pool>);

constinit Pool gPool;

}  // namespace

StoreLease::StoreLease(const std::string& path) {
    {
        std::lock_guard lock(gPool.mutex);
        for (std::size_t i = 0; i < gPool.idleCount; ++i) {
            if (gPool.idle[i]->path() != path) continue;
            store_.reset(gPool.idle[i]);
            gPool.idle[i] = gPool.idle[--gPool.idleCount];
            return;
        }
    }
    store_ = std::make_unique<TokenStore>(path);
}

StoreLease::~StoreLease() {
    std::lock_guard lock(gPool.mutex);
    if (gPool.idleCount < kMaxIdle) gPool.idle[gPool.idleCount++] = store_.release();
}

void CloseIdleStores() {
    std::array<TokenStore*, kMaxIdle> closing{};
    std::size_t count = 0;
    {
        std::lock_guard lock(gPool.mutex);
        closing = gPool.idle;
        count = gPool.idleCount;
        gPool.idleCount = 0;
    }
    for (std::size_t i = 0; i < count; ++i) delete closing[i];
}

}  // namespace kz::bayes
