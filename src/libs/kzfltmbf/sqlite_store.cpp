#include "sqlite_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <optional>

#include "batch_changes.h"
#include "sqlite_schema.h"
#include "token_snapshot.h"

namespace kz::bayes {

using namespace sqlite;

SqliteStore::SqliteStore(const std::string& path, uint64_t maxTokens)
    : path_(path), maxTokens_(maxTokens) {
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
        upgradeSchema();
        transaction.commit();
    } catch (const StoreError& e) {
        sqlite3_close(db_);
        throw StoreError("cannot open " + path + ": " + e.what());
    }
    statements_.assign(SqlCount, nullptr);
}

SqliteStore::~SqliteStore() {
    for (sqlite3_stmt* stmt : statements_) sqlite3_finalize(stmt);
    sqlite3_close(db_);
}

// Files from before expiry have no "seen" column: their tokens count as seen long ago.
void SqliteStore::upgradeSchema() {
    sqlite3_stmt* probe = nullptr;
    const bool hasSeen = sqlite3_prepare_v2(db_, "SELECT seen FROM tokens LIMIT 0", -1, &probe,
                                            nullptr) == SQLITE_OK;
    sqlite3_finalize(probe);
    if (!hasSeen) run("ALTER TABLE tokens ADD COLUMN seen INTEGER NOT NULL DEFAULT 0");
}

void SqliteStore::run(std::string_view sql) {
    const std::string text(sql);
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw StoreError(sqlite3_errmsg(db_));
}

sqlite3_stmt* SqliteStore::prepared(int index) {
    sqlite3_stmt*& stmt = statements_[std::size_t(index)];
    if (!stmt && sqlite3_prepare_v3(db_, kSql[index], -1, SQLITE_PREPARE_PERSISTENT, &stmt,
                                    nullptr) != SQLITE_OK)
        throw StoreError(sqlite3_errmsg(db_));
    return stmt;
}

void SqliteStore::write(const BatchChanges& changes) {
    for (const auto& [digest, after] : changes.after) {
        if (after)
            statement(SetMessage)
                .bindBlob(1, digest)
                .bind(2, int64_t(CategoryNumber(*after)))
                .exec();
        else
            statement(DropMessage).bindBlob(1, digest).exec();
    }
    // In key order the changes walk the table's pages once, front to back.
    const int64_t now = MillisecondsNow();
    for (const TokenChange& token : changes.tokens) {
        const int64_t seen = token.spam > 0 || token.ham > 0 ? now : 0;
        statement(ChangeToken)
            .bind(1, token.key)
            .bind(2, token.spam)
            .bind(3, token.ham)
            .bind(4, seen)
            .exec();
        if (token.spam < 0 || token.ham < 0) statement(DropEmpty).bind(1, token.key).exec();
    }
    for (const Category category : {Category::Spam, Category::Ham}) {
        const int64_t step = category == Category::Spam ? changes.spam : changes.ham;
        if (step != 0)
            statement(AddTotal).bind(1, int64_t(CategoryNumber(category))).bind(2, step).exec();
    }
    if (!changes.tokens.empty() || changes.spam || changes.ham) statement(NextGeneration).exec();
}

std::optional<Category> SqliteStore::learnedAs(std::string_view digest) {
    Statement find = statement(FindMessage);
    find.bindBlob(1, digest);
    if (!find.step()) return std::nullopt;
    return find.column(0) == 1 ? Category::Spam : Category::Ham;
}

std::vector<bool> SqliteStore::teach(bool learn, Category category,
                                     const std::vector<Lesson>& lessons) {
    Transaction transaction(db_, true);
    const BatchChanges changes =
        PlanBatch(learn, category, lessons, [&](const std::string& d) { return learnedAs(d); });
    write(changes);
    if (learn && maxTokens_ > 0) expire();
    transaction.commit();
    return changes.changed;
}

void SqliteStore::expire() {
    uint64_t tokens = 0;
    {
        Statement count = statement(CountTokens);
        if (count.step()) tokens = uint64_t(count.column(0));
    }
    if (tokens <= maxTokens_) return;
    const uint64_t keep = maxTokens_ - maxTokens_ / 10;
    statement(ExpireOldest).bind(1, int64_t(tokens - keep)).exec();
}

LearnedTotals SqliteStore::readTotals() {
    LearnedTotals totals;
    Statement read = statement(ReadTotals);
    while (read.step()) {
        const auto messages = uint32_t(read.column(1));
        (read.column(0) == 1 ? totals.spam : totals.ham) = messages;
    }
    return totals;
}

uint64_t SqliteStore::readGeneration() {
    Statement read = statement(ReadGeneration);
    return read.step() ? uint64_t(read.column(0)) : 0;
}

std::unique_ptr<TokenSnapshot> SqliteStore::loadSnapshot(uint64_t generation) {
    std::vector<TokenSnapshot::Row> rows;
    Statement read = statement(ReadAllTokens);
    while (read.step()) {
        if (rows.size() == kMaxSnapshotTokens) return nullptr;
        rows.push_back({read.column(0), {uint32_t(read.column(1)), uint32_t(read.column(2))}});
    }
    return std::make_unique<TokenSnapshot>(generation, std::move(rows));
}

LearnedTotals SqliteStore::counts(const std::vector<std::string>& tokens,
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
        for (const std::string& token : tokens) keys.push_back(TokenKey(token));
        snapshot->findAll(keys, out);
    } else {
        // In key order the lookups walk the table's pages once, front to back.
        std::vector<std::pair<int64_t, std::size_t>> keys;
        keys.reserve(tokens.size());
        for (std::size_t i = 0; i < tokens.size(); ++i) keys.emplace_back(TokenKey(tokens[i]), i);
        std::sort(keys.begin(), keys.end());
        for (const auto& [key, index] : keys) {
            Statement read = statement(ReadToken);
            read.bind(1, key);
            if (read.step()) out[index] = {uint32_t(read.column(0)), uint32_t(read.column(1))};
        }
    }
    transaction.commit();
    return totals;
}

StoreStats SqliteStore::stats() {
    Transaction transaction(db_, false);
    StoreStats stats;
    stats.messages = readTotals();
    {
        Statement count = statement(CountTokens);
        if (count.step()) stats.tokens = uint64_t(count.column(0));
    }
    transaction.commit();
    return stats;
}

}  // namespace kz::bayes
