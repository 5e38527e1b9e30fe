#pragma once
// Where the learned token counts are kept: an SQLite file on this machine
// (sqlite_store.h) or a Redis server that several mail servers share (redis_store.h).
// Both keep the same counts for the same learning, so a message scores the same on
// either. One TokenStore is one connection, used by one thread at a time. Failures throw
// StoreError; a store that cannot be reached throws StoreUnavailable.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "spam_score.h"

namespace kz::bayes {

struct StoreSettings;

enum class Category { Spam, Ham };

struct StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The store's server did not answer (refused, timed out, lost): the message goes
// unscored and the next call connects again.
struct StoreUnavailable : StoreError {
    using StoreError::StoreError;
};

struct StoreStats {
    LearnedTotals messages;
    uint64_t tokens = 0;
};

// A message to learn or forget: its distinct tokens and the digest of its text.
struct Lesson {
    std::vector<std::string> tokens;
    std::string digest;
};

// What a store holds, row by row, for copying it to another store.
struct TokenRow {
    int64_t key = 0;  // TokenKey of the token
    TokenCounts counts;
    int64_t seen = 0;  // when a message holding it was last learned (MillisecondsNow)
};
struct MessageRow {
    std::string digest;
    Category category = Category::Spam;
};
template <typename Row>
using RowSink = std::function<void(const std::vector<Row>&)>;

class TokenStore {
  public:
    virtual ~TokenStore() = default;

    // The "Database" setting that opened it.
    virtual const std::string& location() const = 0;
    // False once the connection broke: the store is not kept for another call.
    virtual bool reusable() const { return true; }

    // Several messages are learned or forgotten in one transaction, which costs little
    // more than one; the answer says for each whether it changed anything. A message is
    // known by its digest: learned again in the same category it changes nothing;
    // learned in the other category it moves there. Counts never go below zero. With
    // `maxTokens` set, learning that leaves more tokens drops the least recently learned
    // until a tenth of the room is free again.
    virtual std::vector<bool> learn(Category category, const std::vector<Lesson>& lessons) = 0;
    // Unchanged when the message was not learned in that category.
    virtual std::vector<bool> forget(Category category, const std::vector<Lesson>& lessons) = 0;

    // The counts of each token, in the order given, and the totals, read at one moment.
    virtual LearnedTotals counts(const std::vector<std::string>& tokens,
                                 std::vector<TokenCounts>& out) = 0;
    virtual StoreStats stats() = 0;

    // Upkeep: everything gone; the rows in pieces; rows added to an empty store as
    // they are (the totals last).
    virtual void clear() = 0;
    virtual void readTokens(const RowSink<TokenRow>& take) = 0;
    virtual void readMessages(const RowSink<MessageRow>& take) = 0;
    virtual void addTokens(const std::vector<TokenRow>& rows) = 0;
    virtual void addMessages(const std::vector<MessageRow>& rows) = 0;
    virtual void setTotals(LearnedTotals totals) = 0;
};

// The store the settings name: "redis://HOST[:PORT][/DB]" or "redis+unix:///PATH[?db=N]"
// a Redis server, anything else an SQLite file.
// (throws StoreError when a Redis address is malformed).
std::unique_ptr<TokenStore> OpenTokenStore(const StoreSettings& settings);

// A token is kept as its 64-bit FNV-1a hash: integer keys make the tables small and
// their lookups cheap, and two of a message's few thousand tokens sharing a hash is
// negligible.
int64_t TokenKey(std::string_view token);

// SHA-256 of the message text, which tells a message learned before.
std::string MessageDigest(std::string_view messageText);

// Milliseconds since 1970: when tokens are marked as seen.
int64_t MillisecondsNow();

}  // namespace kz::bayes
