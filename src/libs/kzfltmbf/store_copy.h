#pragma once
// A whole token store copied into another, of either kind: a migration between SQLite
// and Redis, a backup into a new SQLite file and its restore.

#include <cstdint>

#include "token_store.h"

namespace kz::bayes {

// What a store holds, summed: two stores with the same content have the same summary.
struct StoreSummary {
    uint64_t tokens = 0;
    uint64_t spamCounts = 0;  // the spam counts of all tokens added up
    uint64_t hamCounts = 0;
    uint64_t messages = 0;  // digests of learned messages
    LearnedTotals totals;
    bool operator==(const StoreSummary&) const = default;
};

StoreSummary Summarize(TokenStore& store);

// Copies every row of `from` into `to`, which must be empty, then reads `to` back and
// checks that it sums to the same; throws StoreError when it does not, or when `to`
// already holds learning. Learning into `from` meanwhile may make the check fail: copy
// while the mail servers are stopped or learn nothing.
StoreSummary CopyStore(TokenStore& from, TokenStore& to);

}  // namespace kz::bayes
