#include "token_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "platform/crypto.h"
#include "token_snapshot.h"

namespace kz::bayes {

namespace {

// How long a writer waits for another process's transaction before it gives up.
constexpr int kBusyTimeoutMs = 30000;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS tokens(token INTEGER PRIMARY KEY, spam INTEGER NOT NULL,"
    " ham INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS messages(digest BLOB PRIMARY KEY, category INTEGER NOT NULL)"
    " WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS totals(category INTEGER PRIMARY KEY, messages INTEGER NOT NULL);"
    "INSERT OR IGNORE INTO totals VALUES(0, 0), (1, 0);"
    // Moved on by every change of the counts, so that a copy held in memory knows whether
    // it is current. It starts anywhere: a file made anew does not repeat an old one's.
    "CREATE TABLE IF NOT EXISTS generation(id INTEGER PRIMARY KEY, value INTEGER NOT NULL);"
    "INSERT OR IGNORE INTO generation VALUES(0, random() >> 1);";

enum Sql {
    ChangeToken,
    DropEmpty,
    FindMessage,
    SetMessage,
    DropMessage,
    ReadToken,
    ReadTotals,
    AddTotal,
    CountTokens,
    ReadGeneration,
    NextGeneration,
    ReadAllTokens,
    SqlCount
};
constexpr const char* kSql[SqlCount] = {
    "INSERT INTO tokens VALUES(?1, max(?2, 0), max(?3, 0)) ON CONFLICT(token) DO UPDATE SET"
    " spam = max(spam + ?2, 0), ham = max(ham + ?3, 0)",
    "DELETE FROM tokens WHERE token = ?1 AND spam = 0 AND ham = 0",
    "SELECT category FROM messages WHERE digest = ?1",
    "INSERT OR REPLACE INTO messages VALUES(?1, ?2)",
    "DELETE FROM messages WHERE digest = ?1",
    "SELECT spam, ham FROM tokens WHERE token = ?1",
    "SELECT category, messages FROM totals",
    "UPDATE totals SET messages = max(messages + ?2, 0) WHERE category = ?1",
    "SELECT count(*) FROM tokens",
    "SELECT value FROM generation",
    "UPDATE generation SET value = value + 1",
    "SELECT token, spam, ham FROM tokens",
};

int categoryNumber(Category category) {
    return category == Category::Spam ? 1 : 0;
}

// A token is kept as its 64-bit FNV-1a hash: integer keys make the table small and its
// lookups cheap, and two of a message's few thousand tokens sharing a hash is negligible.
int64_t tokenKey(std::string_view token) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : token) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return int64_t(hash);
}

}  // namespace

// A prepared statement in use: reset and its bindings cleared when done.
class TokenStore::Statement {
  public:
    Statement(TokenStore& store, int index) : store_(store), stmt_(store.prepared(index)) {}
    ~Statement() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    Statement& bindBlob(int at, std::string_view bytes) {
        check(sqlite3_bind_blob(stmt_, at, bytes.data(), int(bytes.size()), SQLITE_STATIC));
        return *this;
    }
    Statement& bind(int at, int64_t value) {
        check(sqlite3_bind_int64(stmt_, at, value));
        return *this;
    }
    // True while rows come.
    bool step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) throw StoreError(sqlite3_errmsg(store_.db_));
        return false;
    }
    void exec() {
        while (step()) {
        }
        sqlite3_reset(stmt_);
    }
    int64_t column(int at) const { return sqlite3_column_int64(stmt_, at); }

  private:
    void check(int rc) const {
        if (rc != SQLITE_OK) throw StoreError(sqlite3_errmsg(store_.db_));
    }
    TokenStore& store_;
    sqlite3_stmt* stmt_;
};

namespace {

// BEGIN IMMEDIATE takes the write lock at once, so that two writers wait for each other
// instead of one failing at its first write.
class Transaction {
  public:
    Transaction(sqlite3* db, bool write) : db_(db) { execute(write ? "BEGIN IMMEDIATE" : "BEGIN"); }
    ~Transaction() {
        if (db_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void commit() {
        execute("COMMIT");
        db_ = nullptr;
    }

  private:
    void execute(const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw StoreError(sqlite3_errmsg(db_));
    }
    sqlite3* db_;
};

}  // namespace

TokenStore::TokenStore(const std::string& path) : path_(path) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        throw StoreError("cannot open " + path + ": " + why);
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    try {
        run("PRAGMA journal_mode=WAL");
        // In WAL mode a commit after a crash of the machine may be lost, never corrupted.
        run("PRAGMA synchronous=NORMAL");
        // Scoring reads a few hundred scattered rows: mapped pages spare a read call each,
        // and a larger page cache keeps what the log holds of them.
        run("PRAGMA mmap_size=67108864");
        run("PRAGMA cache_size=-16384");
        Transaction transaction(db_, true);
        run(kSchema);
        transaction.commit();
    } catch (const StoreError& e) {
        sqlite3_close(db_);
        throw StoreError("cannot open " + path + ": " + e.what());
    }
    statements_.assign(SqlCount, nullptr);
}

TokenStore::~TokenStore() {
    for (sqlite3_stmt* stmt : statements_) sqlite3_finalize(stmt);
    sqlite3_close(db_);
}

void TokenStore::run(std::string_view sql) {
    const std::string text(sql);
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw StoreError(sqlite3_errmsg(db_));
}

sqlite3_stmt* TokenStore::prepared(int index) {
    sqlite3_stmt*& stmt = statements_[std::size_t(index)];
    if (!stmt && sqlite3_prepare_v3(db_, kSql[index], -1, SQLITE_PREPARE_PERSISTENT, &stmt,
                                    nullptr) != SQLITE_OK)
        throw StoreError(sqlite3_errmsg(db_));
    return stmt;
}

// The changes of a transaction summed per token: each token is written once, however
// many of its messages hold it.
struct TokenStore::Changes {
    std::unordered_map<int64_t, std::pair<int64_t, int64_t>> tokens;  // spam, ham
    int64_t messages[2] = {0, 0};                                     // by category number

    void add(Category category, const std::vector<std::string>& words, int step) {
        const bool spam = category == Category::Spam;
        for (const std::string& word : words) {
            auto& counts = tokens[tokenKey(word)];
            (spam ? counts.first : counts.second) += step;
        }
        messages[categoryNumber(category)] += step;
    }
};

void TokenStore::write(const Changes& changes) {
    // In key order the changes walk the table's pages once, front to back.
    std::vector<std::pair<int64_t, std::pair<int64_t, int64_t>>> rows(changes.tokens.begin(),
                                                                      changes.tokens.end());
    std::sort(rows.begin(), rows.end());
    for (const auto& [key, counts] : rows) {
        const auto [spam, ham] = counts;
        if (spam == 0 && ham == 0) continue;
        Statement(*this, ChangeToken).bind(1, key).bind(2, spam).bind(3, ham).exec();
        if (spam < 0 || ham < 0) Statement(*this, DropEmpty).bind(1, key).exec();
    }
    for (int category = 0; category < 2; ++category) {
        if (changes.messages[category] == 0) continue;
        Statement(*this, AddTotal)
            .bind(1, int64_t(category))
            .bind(2, changes.messages[category])
            .exec();
    }
    if (!rows.empty() || changes.messages[0] || changes.messages[1])
        Statement(*this, NextGeneration).exec();
}

std::optional<Category> TokenStore::learnedAs(std::string_view digest) {
    Statement find(*this, FindMessage);
    find.bindBlob(1, digest);
    if (!find.step()) return std::nullopt;
    return find.column(0) == 1 ? Category::Spam : Category::Ham;
}

std::vector<bool> TokenStore::learn(Category category, const std::vector<Lesson>& lessons) {
    Transaction transaction(db_, true);
    std::vector<bool> changed;
    Changes changes;
    for (const Lesson& lesson : lessons) {
        const std::optional<Category> before = learnedAs(lesson.digest);
        changed.push_back(before != category);
        if (before == category) continue;
        if (before) changes.add(*before, lesson.tokens, -1);
        changes.add(category, lesson.tokens, +1);
        Statement(*this, SetMessage)
            .bindBlob(1, lesson.digest)
            .bind(2, int64_t(categoryNumber(category)))
            .exec();
    }
    write(changes);
    transaction.commit();
    return changed;
}

std::vector<bool> TokenStore::forget(Category category, const std::vector<Lesson>& lessons) {
    Transaction transaction(db_, true);
    std::vector<bool> changed;
    Changes changes;
    for (const Lesson& lesson : lessons) {
        changed.push_back(learnedAs(lesson.digest) == category);
        if (!changed.back()) continue;
        changes.add(category, lesson.tokens, -1);
        Statement(*this, DropMessage).bindBlob(1, lesson.digest).exec();
    }
    write(changes);
    transaction.commit();
    return changed;
}

LearnedTotals TokenStore::readTotals() {
    LearnedTotals totals;
    Statement read(*this, ReadTotals);
    while (read.step()) {
        const auto messages = uint32_t(read.column(1));
        (read.column(0) == 1 ? totals.spam : totals.ham) = messages;
    }
    return totals;
}

uint64_t TokenStore::readGeneration() {
    Statement read(*this, ReadGeneration);
    return read.step() ? uint64_t(read.column(0)) : 0;
}

std::unique_ptr<TokenSnapshot> TokenStore::loadSnapshot(uint64_t generation) {
    std::vector<TokenSnapshot::Row> rows;
    Statement read(*this, ReadAllTokens);
    while (read.step()) {
        if (rows.size() == kMaxSnapshotTokens) return nullptr;
        rows.push_back({read.column(0), {uint32_t(read.column(1)), uint32_t(read.column(2))}});
    }
    return std::make_unique<TokenSnapshot>(generation, std::move(rows));
}

LearnedTotals TokenStore::counts(const std::vector<std::string>& tokens,
                                 std::vector<TokenCounts>& out) {
    Transaction transaction(db_, false);
    const LearnedTotals totals = readTotals();
    const uint64_t generation = readGeneration();
    out.assign(tokens.size(), TokenCounts{});
    const auto snapshot =
        SharedSnapshot(path_, generation, [&] { return loadSnapshot(generation); });
    if (snapshot) {
        std::vector<int64_t> keys;
        keys.reserve(tokens.size());
        for (const std::string& token : tokens) keys.push_back(tokenKey(token));
        snapshot->findAll(keys, out);
    } else {
        // In key order the lookups walk the table's pages once, front to back.
        std::vector<std::pair<int64_t, std::size_t>> keys;
        keys.reserve(tokens.size());
        for (std::size_t i = 0; i < tokens.size(); ++i) keys.emplace_back(tokenKey(tokens[i]), i);
        std::sort(keys.begin(), keys.end());
        for (const auto& [key, index] : keys) {
            Statement read(*this, ReadToken);
            read.bind(1, key);
            if (read.step()) out[index] = {uint32_t(read.column(0)), uint32_t(read.column(1))};
        }
    }
    transaction.commit();
    return totals;
}

StoreStats TokenStore::stats() {
    Transaction transaction(db_, false);
    StoreStats stats;
    stats.messages = readTotals();
    {
        Statement count(*this, CountTokens);
        if (count.step()) stats.tokens = uint64_t(count.column(0));
    }
    transaction.commit();
    return stats;
}

std::string MessageDigest(std::string_view messageText) {
    const std::optional<platform::Sha256Mac> digest = platform::sha256(messageText);
    if (!digest) throw StoreError("cannot compute the message digest");
    return std::string(reinterpret_cast<const char*>(digest->data()), digest->size());
}

}  // namespace kz::bayes
