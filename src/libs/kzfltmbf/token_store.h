#pragma once
// The learned token counts in an SQLite file: write-ahead log, one writer at a time and
// any number of readers, across threads and processes. One TokenStore is one connection,
// used by one thread at a time. Failures throw StoreError.

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "spam_score.h"

struct sqlite3;
struct sqlite3_stmt;

namespace kz::bayes {

class TokenSnapshot;

enum class Category { Spam, Ham };

struct StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
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

class TokenStore {
  public:
    // Opens or creates the file and its tables.
    explicit TokenStore(const std::string& path);
    ~TokenStore();
    TokenStore(const TokenStore&) = delete;
    TokenStore& operator=(const TokenStore&) = delete;

    const std::string& path() const { return path_; }

    // Several messages are learned or forgotten in one transaction, which costs little
    // more than one; the answer says for each whether it changed anything. A message is
    // known by its digest: learned again in the same category it changes nothing;
    // learned in the other category it moves there.
    std::vector<bool> learn(Category category, const std::vector<Lesson>& lessons);
    // Unchanged when the message was not learned in that category.
    std::vector<bool> forget(Category category, const std::vector<Lesson>& lessons);

    // The counts of each token, in the order given, and the totals, read at one moment.
    LearnedTotals counts(const std::vector<std::string>& tokens, std::vector<TokenCounts>& out);
    StoreStats stats();

  private:
    class Statement;
    sqlite3_stmt* prepared(int index);
    void run(std::string_view sql);
    struct Changes;
    void write(const Changes& changes);
    LearnedTotals readTotals();
    std::optional<Category> learnedAs(std::string_view digest);
    uint64_t readGeneration();
    std::unique_ptr<TokenSnapshot> loadSnapshot(uint64_t generation);

    std::string path_;
    sqlite3* db_ = nullptr;
    std::vector<sqlite3_stmt*> statements_;
};

// SHA-256 of the message text, which tells a message learned before.
std::string MessageDigest(std::string_view messageText);

}  // namespace kz::bayes
