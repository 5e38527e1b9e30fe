#pragma once
// The learned token counts in an SQLite file: write-ahead log, one writer at a time and
// any number of readers, across threads and processes.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sqlite_statement.h"
#include "token_store.h"

namespace kz::bayes {

class TokenSnapshot;
struct BatchChanges;

class SqliteStore final : public TokenStore {
  public:
    // Opens or creates the file and its tables.
    explicit SqliteStore(const std::string& path, uint64_t maxTokens = 0);
    ~SqliteStore() override;
    SqliteStore(const SqliteStore&) = delete;
    SqliteStore& operator=(const SqliteStore&) = delete;

    const std::string& location() const override { return path_; }
    std::vector<bool> learn(Category category, const std::vector<Lesson>& lessons) override {
        return teach(true, category, lessons);
    }
    std::vector<bool> forget(Category category, const std::vector<Lesson>& lessons) override {
        return teach(false, category, lessons);
    }
    LearnedTotals counts(const std::vector<std::string>& tokens,
                         std::vector<TokenCounts>& out) override;
    StoreStats stats() override;

    void clear() override;
    void readTokens(const RowSink<TokenRow>& take) override;
    void readMessages(const RowSink<MessageRow>& take) override;
    void addTokens(const std::vector<TokenRow>& rows) override;
    void addMessages(const std::vector<MessageRow>& rows) override;
    void setTotals(LearnedTotals totals) override;

  private:
    sqlite3_stmt* prepared(int index);
    Statement statement(int index) { return Statement(db_, prepared(index)); }
    void run(std::string_view sql);
    void upgradeSchema();
    std::vector<bool> teach(bool learn, Category category, const std::vector<Lesson>& lessons);
    void write(const BatchChanges& changes);
    void expire();
    LearnedTotals readTotals();
    std::optional<Category> learnedAs(std::string_view digest);
    uint64_t readGeneration();
    std::unique_ptr<TokenSnapshot> loadSnapshot(uint64_t generation);

    std::string path_;
    uint64_t maxTokens_;
    sqlite3* db_ = nullptr;
    std::vector<sqlite3_stmt*> statements_;
};

}  // namespace kz::bayes
