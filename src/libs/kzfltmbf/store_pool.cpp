#include "store_pool.h"

#include <array>
#include <mutex>
#include <new>

namespace kz::bayes {

namespace {

// More idle connections than threads that score at once would only hold memory.
constexpr std::size_t kMaxIdle = 16;

// Never destroyed: a clean-up entry called at process exit after this library's objects
// were destroyed still finds the pool as it was. It lives in the library's own storage,
// so an unload leaves nothing behind on the heap; only clean-up closes the connections.
struct Pool {
    std::mutex mutex;
    std::array<TokenStore*, kMaxIdle> idle{};
    std::size_t idleCount = 0;
};

alignas(Pool) unsigned char gPoolStorage[sizeof(Pool)];

Pool& pool() {
    static Pool* const instance = new (gPoolStorage) Pool;
    return *instance;
}

}  // namespace

StoreLease::StoreLease(const StoreSettings& settings, Choice choice) {
    if (choice == AnyIdle) {
        Pool& p = pool();
        std::lock_guard lock(p.mutex);
        for (std::size_t i = 0; i < p.idleCount; ++i) {
            if (p.idle[i]->location() != settings.database) continue;
            store_.reset(p.idle[i]);
            p.idle[i] = p.idle[--p.idleCount];
            kept_ = true;
            return;
        }
    }
    store_ = OpenTokenStore(settings);
}

StoreLease::~StoreLease() {
    Pool& p = pool();
    std::lock_guard lock(p.mutex);
    if (p.idleCount < kMaxIdle && store_->reusable()) p.idle[p.idleCount++] = store_.release();
}

void CloseIdleStores() {
    std::array<TokenStore*, kMaxIdle> closing{};
    std::size_t count = 0;
    {
        Pool& p = pool();
        std::lock_guard lock(p.mutex);
        closing = p.idle;
        count = p.idleCount;
        p.idleCount = 0;
    }
    for (std::size_t i = 0; i < count; ++i) delete closing[i];
}

}  // namespace kz::bayes
