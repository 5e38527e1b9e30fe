#include "token_snapshot.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace kz::bayes {

namespace {

// Keys are signed, as SQLite orders them; flipping the sign bit keeps that order unsigned.
uint64_t ordered(int64_t key) {
    return uint64_t(key) ^ (uint64_t(1) << 63);
}

struct Held {
    std::shared_ptr<const TokenSnapshot> snapshot;
    bool loading = false;
    std::chrono::steady_clock::time_point nextLoad;
};

struct Shelf {
    std::mutex mutex;
    std::map<std::string, Held, std::less<>> held;
};

Shelf& shelf() {
    static Shelf instance;
    return instance;
}

}  // namespace

TokenSnapshot::TokenSnapshot(uint64_t generation, std::vector<Row> rows)
    : generation_(generation), rows_(std::move(rows)) {
    // About two rows per range.
    int bits = 0;
    while (bits < 30 && (std::size_t(2) << bits) < rows_.size()) ++bits;
    shift_ = 64 - bits;
    starts_.assign((std::size_t(1) << bits) + 1, uint32_t(rows_.size()));
    for (std::size_t i = rows_.size(); i-- > 0;) starts_[bucket(rows_[i].key)] = uint32_t(i);
    for (std::size_t b = starts_.size() - 1; b-- > 0;)
        starts_[b] = std::min(starts_[b], starts_[b + 1]);
}

std::size_t TokenSnapshot::bucket(int64_t key) const {
    return shift_ >= 64 ? 0 : std::size_t(ordered(key) >> shift_);
}

TokenCounts TokenSnapshot::find(int64_t key) const {
    const std::size_t b = bucket(key);
    const auto end = rows_.begin() + starts_[b + 1];
    const auto it = std::lower_bound(rows_.begin() + starts_[b], end, key,
                                     [](const Row& row, int64_t k) { return row.key < k; });
    return it != end && it->key == key ? it->counts : TokenCounts{};
}

void TokenSnapshot::findAll(const std::vector<int64_t>& keys, std::vector<TokenCounts>& out) const {
    constexpr std::size_t kAhead = 8;
    out.resize(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
#if defined(__GNUC__)
        if (i + 2 * kAhead < keys.size())
            __builtin_prefetch(&starts_[bucket(keys[i + 2 * kAhead])]);
        if (i + kAhead < keys.size())
            __builtin_prefetch(rows_.data() + starts_[bucket(keys[i + kAhead])]);
#endif
        out[i] = find(keys[i]);
    }
}

std::shared_ptr<const TokenSnapshot> SharedSnapshot(const std::string& path, uint64_t generation,
                                                    const SnapshotLoader& load) {
    using Clock = std::chrono::steady_clock;
    Shelf& s = shelf();
    {
        std::lock_guard lock(s.mutex);
        Held& held = s.held[path];
        if (held.snapshot && held.snapshot->generation() == generation) return held.snapshot;
        if (held.loading || Clock::now() < held.nextLoad) return nullptr;
        held.loading = true;
    }
    const auto start = Clock::now();
    std::shared_ptr<const TokenSnapshot> loaded;
    try {
        loaded = load();
    } catch (...) {
        std::lock_guard lock(s.mutex);
        s.held[path].loading = false;
        throw;
    }
    const auto now = Clock::now();
    std::lock_guard lock(s.mutex);
    Held& held = s.held[path];
    held.loading = false;
    held.nextLoad = now + 10 * (now - start);
    if (loaded) held.snapshot = loaded;
    return loaded;
}

}  // namespace kz::bayes
