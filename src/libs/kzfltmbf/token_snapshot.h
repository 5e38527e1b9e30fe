#pragma once
// The whole token table in memory as it stood at one generation of the file: scoring
// looks its few hundred tokens up here instead of asking SQLite once for each. One
// snapshot per file is shared by every thread that scores against it, and replaced when
// learning has moved the file to a newer generation.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "spam_score.h"

namespace kz::bayes {

// Larger tables are not held in memory; their tokens are looked up in the file.
inline constexpr std::size_t kMaxSnapshotTokens = std::size_t(1) << 22;

class TokenSnapshot {
  public:
    struct Row {
        int64_t key;
        TokenCounts counts;
    };
    // `rows` in ascending key order, as the table yields them.
    TokenSnapshot(uint64_t generation, std::vector<Row> rows);

    uint64_t generation() const { return generation_; }
    // Zero counts for a token the table does not hold.
    TokenCounts find(int64_t key) const;
    // The counts of each key, in order: while one is looked up the memory of the next
    // few is fetched, which spares most of the wait for the scattered rows.
    void findAll(const std::vector<int64_t>& keys, std::vector<TokenCounts>& out) const;

  private:
    std::size_t bucket(int64_t key) const;

    uint64_t generation_;
    std::vector<Row> rows_;
    // The keys are hashes, spread evenly: the first row of each range of their top bits
    // leaves a handful of rows to search.
    int shift_ = 63;
    std::vector<uint32_t> starts_;
};

using SnapshotLoader = std::function<std::unique_ptr<TokenSnapshot>()>;

// The snapshot of `path` at `generation`. When the one held is older, `load` (reading
// the file inside the caller's transaction; null when the table is too large) makes a
// new one, unless another thread is loading or loading would take more than a tenth of
// the time since the last load; then the answer is null and the caller asks the file.
std::shared_ptr<const TokenSnapshot> SharedSnapshot(const std::string& path, uint64_t generation,
                                                    const SnapshotLoader& load);

}  // namespace kz::bayes
