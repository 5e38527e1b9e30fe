#pragma once
// What learning or forgetting a batch of messages changes, worked out in memory from how
// each message was learned before: whether each message changes anything, the category
// each changed message ends in, and every token's change summed over the batch, so that a
// store writes each token once however many of the batch's messages hold it.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "token_store.h"

namespace kz::bayes {

struct TokenChange {
    int64_t key = 0;  // TokenKey
    int64_t spam = 0;
    int64_t ham = 0;
};

using LearnedAs = std::optional<Category>;  // none: not learned

struct BatchChanges {
    std::vector<bool> changed;  // for each lesson, in order
    // Each message of the batch once, by digest, with how it was learned before.
    std::vector<std::pair<std::string, LearnedAs>> before;
    // The messages whose category changed, with how they end (none: forgotten).
    std::vector<std::pair<std::string, LearnedAs>> after;
    std::vector<TokenChange> tokens;  // in key order; none that changes nothing
    int64_t spam = 0, ham = 0;        // the change of the learned totals
};

// The batch's changes as its messages are taken in order (a message twice in one batch
// counts once). `prior` tells how a message was learned before the batch; it is asked once
// for each digest.
BatchChanges PlanBatch(bool learn, Category category, const std::vector<Lesson>& lessons,
                       const std::function<LearnedAs(const std::string& digest)>& prior);

}  // namespace kz::bayes
