#include "sqlite_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <optional>
#include <unordered_map>

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

// The changes of a transaction summed per token: each token is written once, however
// many of its messages hold it.
struct SqliteStore::Changes {
    std::unordered_map<int64_t, std::pair<int64_t, int64_t>> tokens;  // spam, ham
    int64_t messages[2] = {0, 0};                                     // by category number
    int64_t now = MillisecondsNow();

    void add(Category category, const std::vector<std::string>& words, int step) {
        const bool spam = category == Category::Spam;
        for (const std::string& word : words) {
            auto& counts = tokens[TokenKey(word)];
            (spam ? counts.first : counts.second) += step;
        }
        messages[CategoryNumber(category)] += step;
    }
};

void SqliteStore::write(const Changes& changes) {
    // In key order the changes walk the table's pages once, front to back.
    std::vector<std::pair<int64_t, std::pair<int64_t, int64_t>>> rows(changes.tokens.begin(),
                                                                      changes.tokens.end());
    std::sort(rows.begin(), rows.end());
    for (const auto& [key, counts] : rows) {
        const auto [spam, ham] = counts;
        if (spam == 0 && ham == 0) continue;
        const int64_t seen = spam > 0 || ham > 0 ? changes.now : 0;
        statement(ChangeToken).bind(1, key).bind(2, spam).bind(3, ham).bind(4, seen).exec();
        if (spam < 0 || ham < 0) statement(DropEmpty).bind(1, key).exec();
    }
    for (int category = 0; category < 2; ++category) {
        if (changes.messages[category] == 0) continue;
        statement(AddTotal).bind(1, int64_t(category)).bind(2, changes.messages[category]).exec();
    }
    if (!rows.empty() || changes.messages[0] || changes.messages[1])
        statement(NextGeneration).exec();
}

std::optional<Category> SqliteStore::learnedAs(std::string_view digest) {
    Statement find = statement(FindMessage);
    find.bindBlob(1, digest);
    if (!find.step()) return std::nullopt;
    return find.column(0) == 1 ? Category::Spam : Category::Ham;
}

std::vector<bool> SqliteStore::learn(Category category, const std::vector<Lesson>& lessons) {
    Transaction transaction(db_, true);
    std::vector<bool> changed;
    Changes changes;
    for (const Lesson& lesson : lessons) {
        const std::optional<Category> before = learnedAs(lesson.digest);
        changed.push_back(before != category);
        if (before == category) continue;
        if (before) changes.add(*before, lesson.tokens, -1);
        changes.add(category, lesson.tokens, +1);
        statement(SetMessage)
            .bindBlob(1, lesson.digest)
            .bind(2, int64_t(CategoryNumber(category)))
            .exec();
    }
    write(changes);
    if (maxTokens_ > 0) expire();
    transaction.commit();
    return changed;
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

std::vector<bool> SqliteStore::forget(Category category, const std::vector<Lesson>& lessons) {
    Transaction transaction(db_, true);
    std::vector<bool> changed;
    Changes changes;
    for (const Lesson& lesson : lessons) {
        changed.push_back(learnedAs(lesson.digest) == category);
        if (!changed.back()) continue;
        changes.add(category, lesson.tokens, -1);
        statement(DropMessage).bindBlob(1, lesson.digest).exec();
    }
    write(changes);
    transaction.commit();
    return changed;
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
