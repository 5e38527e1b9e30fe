#include "store_pool.h"

#include <mutex>
#include <vector>

namespace kz::bayes {

namespace {

// More idle connections than threads that score at once would only hold memory.
constexpr std::size_t kMaxIdle = 16;

struct Pool {
    std::mutex mutex;
    std::vector<std::unique_ptr<TokenStore>> idle;
};

Pool& pool() {
    static Pool instance;
    return instance;
}

}  // namespace

StoreLease::StoreLease(const std::string& path) {
    {
        std::lock_guard lock(pool().mutex);
        auto& idle = pool().idle;
        for (auto it = idle.begin(); it != idle.end(); ++it) {
            if ((*it)->path() != path) continue;
            store_ = std::move(*it);
            idle.erase(it);
            return;
        }
    }
    store_ = std::make_unique<TokenStore>(path);
}

StoreLease::~StoreLease() {
    std::lock_guard lock(pool().mutex);
    if (pool().idle.size() < kMaxIdle) pool().idle.push_back(std::move(store_));
}

void CloseIdleStores() {
    std::vector<std::unique_ptr<TokenStore>> closing;
    std::lock_guard lock(pool().mutex);
    closing.swap(pool().idle);
}

}  // namespace kz::bayes
